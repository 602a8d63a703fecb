# Helpers of the Windows build (preset windows).

# Gives a Windows program its version information, the one Explorer shows
# under Properties > Details, from the project version; with ICON also the
# application icon, which Explorer shows for the file. A program with its own
# resource script leaves ICON out and names the icon there.
function(mnemora_windows_resources target description)
    cmake_parse_arguments(PARSE_ARGV 2 arg "ICON" "" "")
    set(MNEMORA_RC_DESCRIPTION "${description}")
    set(MNEMORA_RC_FILENAME "${target}.exe")
    set(MNEMORA_RC_INTERNAL_NAME "${target}")
    # The copyright line of the licence, which holds it once for all packages.
    file(STRINGS ${PROJECT_SOURCE_DIR}/LICENSE MNEMORA_RC_COPYRIGHT REGEX "^Copyright " LIMIT_COUNT 1)
    set(MNEMORA_RC_VERSION_COMMAS "${PROJECT_VERSION_MAJOR},${PROJECT_VERSION_MINOR},${PROJECT_VERSION_PATCH},0")
    if(arg_ICON)
        file(TO_CMAKE_PATH "${PROJECT_SOURCE_DIR}/assets/art/mnemora.ico" icon)
        set(MNEMORA_RC_ICON "1 ICON \"${icon}\"")
    else()
        set(MNEMORA_RC_ICON "")
    endif()
    set(rc ${CMAKE_CURRENT_BINARY_DIR}/${target}-version.rc)
    configure_file(${PROJECT_SOURCE_DIR}/packaging/windows/version.rc.in ${rc} @ONLY)
    target_sources(${target} PRIVATE ${rc})
endfunction()

# Registers a Windows program for the packages (packaging/windows): the
# portable zip and the installer carry every program registered before
# packaging/windows is added.
function(mnemora_windows_program target)
    set_property(GLOBAL APPEND PROPERTY MNEMORA_WINDOWS_PROGRAMS ${target})
endfunction()
