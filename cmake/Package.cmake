# `make package`: a Debian package of what `cmake --install` installs, depending on
# Debian 12's runtime packages (the linked libraries found by dpkg-shlibdeps, plus the
# plugins Qt loads at run time).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME tarnwick)
set(CPACK_PACKAGE_VENDOR "The Tarnwick contributors")
set(CPACK_PACKAGE_CONTACT "Tarnwick maintainers <maintainers@tarnwick.example.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop front end for GAM7 for school-district Workspace admins")
# CPack puts the summary line above this.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "Tarnwick runs the gam command-line tool (GAM7) against the Google Workspace
domain profile chosen in its window: finding, previewing and deleting mail,
running typed gam commands, and showing every command and its output in one
log, with confirmation before anything destructive.
.
It includes a practice domain (tarnwick --practice): simulated school
districts answered by a practice gam, for rehearsing without a real domain.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION admin)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so dpkg-shlibdeps cannot see them: the X11/Wayland platform plugins and the SVG icon engine.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, libqt6svg6")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland, adwaita-icon-theme, gnome-keyring")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
