# Debian package of both programs with their desktop integration. Runtime
# library dependencies are read off the binaries by dpkg-shlibdeps; the fonts
# the window asks for are declared here because no binary links them.
set(CPACK_PACKAGE_NAME mnemora)
set(CPACK_PACKAGE_VENDOR "The Mnemora contributors")
set(CPACK_PACKAGE_CONTACT "The Mnemora contributors <dev@mnemora.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "site passwords from one memorised password and a key")
set(CPACK_PACKAGE_DESCRIPTION
    "Mnemora derives a 16- and a 32-character site password from a memorised\npassword and a short per-site key, after every keystroke. Nothing is stored:\nthe same pair gives the same codes on every machine. Includes the window\nprogram (mnemora) and a command-line front end (mnemora-cli).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_GENERATOR DEB)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-liberation, fonts-wqy-microhei | fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wine")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
include(CPack)
