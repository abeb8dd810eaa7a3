# `make deb`: a Debian package of exactly what `cmake --install` puts under /usr, built by
# CPack (`cmake --build <dir> --target package`). Included from the top-level CMakeLists.txt,
# since CPack writes its configuration for the whole project.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lorvane)
set(CPACK_PACKAGE_VENDOR Lorvane)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/folder-modes.cmake)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# CPack writes every entry as root:root itself, so no fakeroot is needed; this gives the
# control files the modes Debian policy asks for.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The same name and address as in packaging/changelog and packaging/copyright.
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Lorvane maintainers <maintainers@lorvane.invalid>")

set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "to-do list in a column pinned to the screen's right edge")
set(CPACK_PACKAGE_DESCRIPTION_FILE ${CMAKE_CURRENT_LIST_DIR}/description.txt)

# dpkg-shlibdeps finds the libraries the binary links. What it loads at run time no linker
# sees: the two font families every label and symbol is drawn with, and Qt's platform
# plugins. Debian ships the X11 one in libqt6gui6 itself and recommends qt6-qpa-plugins for
# the others; it is a hard dependency here so that no distribution's split of the plugins
# can leave the program without a window. Qt's Wayland plugin is needed only on a Wayland
# session without XWayland.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, fonts-material-design-icons-iconfont, fonts-quicksand")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, qt6-translations-l10n")

include(CPack)
