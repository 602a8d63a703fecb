# Toolchain for the Windows programs: Debian's mingw-w64 g++ for x86_64 with
# the POSIX thread model (std::thread and std::mutex through winpthread).
# Nothing here is downloaded; tools/install-deps installs all of it.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(MNEMORA_MINGW_TRIPLET x86_64-w64-mingw32)

find_program(MNEMORA_MINGW_CXX NAMES ${MNEMORA_MINGW_TRIPLET}-g++-posix REQUIRED)
find_program(MNEMORA_MINGW_RC NAMES ${MNEMORA_MINGW_TRIPLET}-windres REQUIRED)
set(CMAKE_CXX_COMPILER ${MNEMORA_MINGW_CXX})
set(CMAKE_RC_COMPILER ${MNEMORA_MINGW_RC})

# Libraries and headers come from the cross root only; programs (Python, the
# generators in tools/) from the build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${MNEMORA_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Windows 10 is the oldest system the programs run on.
# Sections per function let the linker drop what the statically linked
# runtime does not need.
set(CMAKE_CXX_FLAGS_INIT "-D_WIN32_WINNT=0x0A00 -DWINVER=0x0A00 -DUNICODE -D_UNICODE -ffunction-sections -fdata-sections")
# libstdc++, libgcc and winpthread go into each program, so that it imports
# only DLLs every Windows has. No link time stamp, so that the same sources
# give the same bytes.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -Wl,--no-insert-timestamp -Wl,--gc-sections")
# Released programs carry no symbols.
set(CMAKE_EXE_LINKER_FLAGS_MINSIZEREL_INIT "-s")
