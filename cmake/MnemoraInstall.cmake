# Installs a file compressed as Debian policy wants manual pages and changelogs:
# gzip -9 with no name or timestamp in the header, so the package is
# reproducible.
find_program(MNEMORA_GZIP gzip REQUIRED)

function(mnemora_install_gzipped source destination)
    get_filename_component(name ${source} NAME)
    set(copy ${CMAKE_CURRENT_BINARY_DIR}/${name})
    add_custom_command(OUTPUT ${copy}.gz
        COMMAND ${CMAKE_COMMAND} -E copy ${source} ${copy}
        COMMAND ${MNEMORA_GZIP} -9nf ${copy}
        DEPENDS ${source}
        VERBATIM)
    string(MAKE_C_IDENTIFIER "mnemora_gzip_${name}" target)
    add_custom_target(${target} ALL DEPENDS ${copy}.gz)
    install(FILES ${copy}.gz DESTINATION ${destination})
endfunction()
