# The web app, its offline edition, the browser extension and the Windows
# programs are made by their own tools into fixed folders beside the native
# tree (build/web, build/offline, build/extension, build-windows), where their
# tests read them. These targets run those tools whenever an input changes,
# so that `cmake --build` and then `ctest` need nothing else; the Makefile's
# web-build, extension and windows targets do the same by hand.
option(MNEMORA_FRONT_ENDS
    "Build the web app, the extension and the Windows programs with the native tree" ON)
if(NOT MNEMORA_FRONT_ENDS OR MNEMORA_SANITIZE OR MNEMORA_FUZZ OR NOT MNEMORA_TESTS)
    return()
endif()

find_program(MNEMORA_NODE NAMES node nodejs)
find_program(MNEMORA_NPM npm)
set(site ${PROJECT_SOURCE_DIR}/build)
set(stamps ${CMAKE_BINARY_DIR}/front-ends)

# Every source file of the listed folders, found again at each configure.
function(mnemora_inputs out)
    set(files "")
    foreach(folder IN LISTS ARGN)
        if(IS_DIRECTORY ${PROJECT_SOURCE_DIR}/${folder})
            file(GLOB_RECURSE found CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${folder}/*)
        else()
            set(found ${PROJECT_SOURCE_DIR}/${folder})
        endif()
        list(APPEND files ${found})
    endforeach()
    set(${out} ${files} PARENT_SCOPE)
endfunction()
set(core_folders secure digest derive assets cmake CMakeLists.txt CMakePresets.json package.json
    tools/gen-description.py)

if(MNEMORA_NODE AND MNEMORA_NPM)
    # The npm packages exactly as the lock file says; no browser is downloaded.
    set(npm_stamp ${PROJECT_SOURCE_DIR}/node_modules/.package-lock.json)
    add_custom_command(OUTPUT ${npm_stamp}
        COMMAND ${CMAKE_COMMAND} -E env PUPPETEER_SKIP_DOWNLOAD=1 ${MNEMORA_NPM} ci --no-audit --no-fund
        DEPENDS ${PROJECT_SOURCE_DIR}/package.json ${PROJECT_SOURCE_DIR}/package-lock.json
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "npm packages")

    mnemora_inputs(web_inputs ${core_folders} wasm web tools/build-web tools/bundle-modules.mjs)
    add_custom_command(OUTPUT ${stamps}/web
        COMMAND ${PROJECT_SOURCE_DIR}/tools/build-web
        COMMAND ${CMAKE_COMMAND} -E touch ${stamps}/web
        DEPENDS ${npm_stamp} ${web_inputs}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Web app into build/web"
        USES_TERMINAL)
    add_custom_command(OUTPUT ${stamps}/offline
        COMMAND ${MNEMORA_NODE} tools/build-offline.mjs ${site}/web ${site}/offline/mnemora.html
        COMMAND ${CMAKE_COMMAND} -E touch ${stamps}/offline
        DEPENDS ${stamps}/web ${PROJECT_SOURCE_DIR}/tools/build-offline.mjs
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Offline edition into build/offline")
    mnemora_inputs(extension_inputs extension)
    add_custom_command(OUTPUT ${stamps}/extension
        COMMAND ${MNEMORA_NODE} extension/build.mjs ${site}
        COMMAND ${CMAKE_COMMAND} -E touch ${stamps}/extension
        DEPENDS ${stamps}/web ${extension_inputs}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Browser extension into build/extension")
    add_custom_target(mnemora_web_front_ends ALL DEPENDS ${stamps}/web ${stamps}/offline ${stamps}/extension)
endif()

# The Windows programs and their packages, cross-built by their own preset.
find_program(MNEMORA_MINGW_CXX_FOUND NAMES x86_64-w64-mingw32-g++-posix)
if(MNEMORA_MINGW_CXX_FOUND)
    set(windows_werror OFF)
    if(MNEMORA_WERROR)
        set(windows_werror ON)
    endif()
    mnemora_inputs(windows_inputs ${core_folders} behaviour win cli app bench/win tests/win packaging/windows
        tools/prepare-win-pictures.py)
    add_custom_command(OUTPUT ${stamps}/windows
        COMMAND ${CMAKE_COMMAND} --preset windows -DMNEMORA_WERROR=${windows_werror}
        COMMAND ${CMAKE_COMMAND} --build --preset windows
        COMMAND ${CMAKE_COMMAND} --build --preset windows --target windows-package
        COMMAND ${CMAKE_COMMAND} -E touch ${stamps}/windows
        DEPENDS ${windows_inputs}
        WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
        COMMENT "Windows programs into build-windows"
        USES_TERMINAL)
    add_custom_target(mnemora_windows_programs ALL DEPENDS ${stamps}/windows)
endif()
