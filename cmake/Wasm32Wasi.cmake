# Toolchain for the WebAssembly module: Debian's clang 14 for wasm32-wasi with
# Debian's wasi-libc and its libc++ (built without exceptions or a file system).
# Nothing here is downloaded; tools/install-deps installs all of it.
set(CMAKE_SYSTEM_NAME Generic)
set(CMAKE_SYSTEM_PROCESSOR wasm32)

find_program(MNEMORA_WASM_CXX NAMES clang++-14 REQUIRED)
find_program(MNEMORA_WASM_AR NAMES llvm-ar-14 REQUIRED)
find_program(MNEMORA_WASM_RANLIB NAMES llvm-ranlib-14 REQUIRED)
# clang runs Binaryen's wasm-opt over the linked module, at the link's
# optimisation level, whenever it finds it on the PATH; without it the module
# is an eighth larger, so its absence is an error rather than a quiet change.
find_program(MNEMORA_WASM_OPT NAMES wasm-opt REQUIRED)
set(CMAKE_CXX_COMPILER ${MNEMORA_WASM_CXX})
set(CMAKE_CXX_COMPILER_TARGET wasm32-wasi)
# Link-time optimisation puts bitcode into the static libraries: only LLVM's
# archiver indexes it.
set(CMAKE_AR ${MNEMORA_WASM_AR} CACHE FILEPATH "")
set(CMAKE_RANLIB ${MNEMORA_WASM_RANLIB} CACHE FILEPATH "")
set(CMAKE_TRY_COMPILE_TARGET_TYPE STATIC_LIBRARY)

# Small: optimise for size across the whole module, keep no type information,
# no exceptions (the core's no-exceptions mode).
set(CMAKE_CXX_FLAGS_INIT "-fno-exceptions -fno-rtti -flto -ffunction-sections -fdata-sections")
set(CMAKE_CXX_FLAGS_MINSIZEREL "-Oz -DNDEBUG" CACHE STRING "")
set(CMAKE_EXE_LINKER_FLAGS_INIT "-flto -Wl,--gc-sections -Wl,--strip-all")
