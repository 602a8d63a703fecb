# Project-wide compiler settings, applied per target through mnemora_configure_target().

# Build-wide sanitizer flags: every object, including GoogleTest's and Qt's
# inline code compiled into our targets, must agree on the instrumentation.
if(MNEMORA_SANITIZE)
    add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=all -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Fuzzing instruments every object for coverage; only the fuzz targets link
# libFuzzer's main.
if(MNEMORA_FUZZ)
    add_compile_options(-fsanitize=fuzzer-no-link,address,undefined -fno-omit-frame-pointer)
    add_link_options(-fsanitize=address,undefined)
endif()

# Hardening for optimised builds: stack protector, fortified libc calls,
# position-independent executables and full RELRO. None of it applies to
# WebAssembly, which keeps code and return addresses outside linear memory.
if(WIN32)
    # Portable executables: address space layout randomisation with 64-bit
    # entropy and no executable data (on by default in recent binutils, said
    # here so that an older linker cannot drop them). The stack protector and
    # fortified calls need libssp, which the driver links (statically, as all
    # else) only when it sees the option at link time too.
    set(MNEMORA_HARDENING_COMPILE -fstack-protector-strong
        $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
    set(MNEMORA_HARDENING_LINK -fstack-protector-strong
        -Wl,--dynamicbase -Wl,--high-entropy-va -Wl,--nxcompat)
    # The same sources give the same bytes wherever they are checked out:
    # no build paths in the programs (file names in assertions, debug info).
    add_compile_options(-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                        -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
elseif(NOT MNEMORA_WASM)
    set(CMAKE_POSITION_INDEPENDENT_CODE ON)
    include(CheckPIESupported)
    check_pie_supported()
    # _FORTIFY_SOURCE needs optimisation; redefine it cleanly where the toolchain presets another level.
    set(MNEMORA_HARDENING_COMPILE -fstack-protector-strong -fstack-clash-protection
        $<$<NOT:$<CONFIG:Debug>>:-U_FORTIFY_SOURCE -D_FORTIFY_SOURCE=2>)
    set(MNEMORA_HARDENING_LINK -Wl,-z,relro -Wl,-z,now -Wl,-z,noexecstack)
endif()

function(mnemora_configure_target target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion)
    if(MNEMORA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
    target_compile_options(${target} PRIVATE ${MNEMORA_HARDENING_COMPILE})
    get_target_property(type ${target} TYPE)
    if(type STREQUAL "EXECUTABLE")
        target_link_options(${target} PRIVATE ${MNEMORA_HARDENING_LINK})
    endif()
endfunction()
