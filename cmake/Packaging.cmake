# Installation extras and the Debian package.
#
# `cmake --install` into any prefix gives the program folder: lockapp,
# lockctl, config.cfg, skin/ (installed by their own folders), and here the
# README, its screenshot and the licence.
#
# CPack builds a Debian package that puts that folder at /opt/lockapp and adds
# what only a system package needs, at fixed system paths: the systemd user
# units, the copyright file, the changelog, the lintian overrides, the
# /usr/bin/lockctl link, the manual pages and lockctl's bash completion. Those are
# the "deb" component, which a plain `cmake --install` leaves out, because it
# would write outside the prefix.
#
# config.cfg is the one file a user edits. In the package it is a conffile,
# /etc/lockapp/config.cfg, which dpkg keeps across upgrades (and asks about
# when both sides changed it); /opt/lockapp/config.cfg is a link to it, so the
# program still finds it beside itself. Debian wants links between top-level
# folders absolute.

install(FILES ${PROJECT_SOURCE_DIR}/README.md ${PROJECT_SOURCE_DIR}/LICENSE DESTINATION .)
# The README shows the screenshot and links the documents by relative paths.
install(DIRECTORY ${PROJECT_SOURCE_DIR}/docs/ DESTINATION docs FILES_MATCHING PATTERN "*.png" PATTERN "*.md")

set(LOCKAPP_PACKAGE_FOLDER /opt/lockapp)
set(LOCKAPP_PACKAGE_MAINTAINER "The lockapp developers <lockapp@example.org>"
    CACHE STRING "Maintainer field of the Debian package: NAME <ADDRESS>")

set(packaging_out ${PROJECT_BINARY_DIR}/packaging)

# The units start the programs where the package puts them.
set(LOCKAPP_UNIT_FOLDER ${LOCKAPP_PACKAGE_FOLDER})
configure_file(${PROJECT_SOURCE_DIR}/packaging/lockapp.service.in ${packaging_out}/lockapp.service @ONLY)
configure_file(${PROJECT_SOURCE_DIR}/packaging/lockapp-bridge.service.in ${packaging_out}/lockapp-bridge.service @ONLY)

# Debian wants a changelog compressed without a timestamp (gzip -9n). Its date
# honours SOURCE_DATE_EPOCH, for reproducible packages.
string(TIMESTAMP LOCKAPP_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
configure_file(${PROJECT_SOURCE_DIR}/packaging/changelog.in ${packaging_out}/changelog @ONLY)
find_program(LOCKAPP_GZIP gzip REQUIRED)
add_custom_command(OUTPUT ${packaging_out}/changelog.gz
    COMMAND ${LOCKAPP_GZIP} -9nf -k ${packaging_out}/changelog
    DEPENDS ${packaging_out}/changelog
    COMMENT "Compressing the package changelog"
    VERBATIM)
add_custom_target(package_changelog ALL DEPENDS ${packaging_out}/changelog.gz)

install(FILES ${packaging_out}/lockapp.service ${packaging_out}/lockapp-bridge.service
    DESTINATION /usr/lib/systemd/user COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/copyright ${packaging_out}/changelog.gz
    DESTINATION /usr/share/doc/lockapp COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/config.cfg
    DESTINATION /etc/lockapp COMPONENT deb EXCLUDE_FROM_ALL)
file(MAKE_DIRECTORY ${packaging_out})
file(CREATE_LINK /etc/lockapp/config.cfg ${packaging_out}/config.cfg SYMBOLIC)
install(FILES ${packaging_out}/config.cfg
    DESTINATION ${LOCKAPP_PACKAGE_FOLDER} COMPONENT deb EXCLUDE_FROM_ALL)
file(WRITE ${packaging_out}/conffiles "/etc/lockapp/config.cfg\n")
# lockctl on the search path: a link to the program folder's copy, which
# still finds its folder through its real location.
file(CREATE_LINK ${LOCKAPP_PACKAGE_FOLDER}/lockctl ${packaging_out}/lockctl SYMBOLIC)
install(FILES ${packaging_out}/lockctl DESTINATION /usr/bin COMPONENT deb EXCLUDE_FROM_ALL)

# Manual pages, compressed as Debian wants them. lockctl's is made from its
# own help texts by running the built tool; lockapp has no help text to
# follow.
add_custom_command(OUTPUT ${packaging_out}/lockctl.1.gz
    COMMAND ${PROJECT_SOURCE_DIR}/packaging/lockctl-manpage $<TARGET_FILE:lockctl> ${packaging_out}/lockctl.1
    COMMAND ${LOCKAPP_GZIP} -9nf ${packaging_out}/lockctl.1
    DEPENDS lockctl ${PROJECT_SOURCE_DIR}/packaging/lockctl-manpage
    COMMENT "Writing the manual page lockctl(1) from lockctl's help"
    VERBATIM)
add_custom_command(OUTPUT ${packaging_out}/lockapp.1.gz
    COMMAND ${LOCKAPP_GZIP} -9nc ${PROJECT_SOURCE_DIR}/packaging/lockapp.1 > ${packaging_out}/lockapp.1.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/packaging/lockapp.1
    COMMENT "Compressing the manual page lockapp(1)")
add_custom_target(package_manpages ALL DEPENDS ${packaging_out}/lockctl.1.gz ${packaging_out}/lockapp.1.gz)
install(FILES ${packaging_out}/lockctl.1.gz ${packaging_out}/lockapp.1.gz
    DESTINATION /usr/share/man/man1 COMPONENT deb EXCLUDE_FROM_ALL)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/lockctl.bash-completion
    DESTINATION /usr/share/bash-completion/completions RENAME lockctl COMPONENT deb EXCLUDE_FROM_ALL)

install(FILES ${PROJECT_SOURCE_DIR}/packaging/lintian-overrides
    DESTINATION /usr/share/lintian/overrides RENAME lockapp COMPONENT deb EXCLUDE_FROM_ALL)

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME lockapp)
set(CPACK_PACKAGE_VENDOR "The lockapp developers")
set(CPACK_PACKAGE_CONTACT "${LOCKAPP_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "skinnable lock screen for a 240x320 keypad phone")
set(CPACK_PACKAGE_DESCRIPTION "lockapp stays hidden while the phone is in use and raises itself when the
display is switched off, showing the skin's background, an analog clock,
the digital time, the date, the Chinese lunar date and a hint line. The
middle key, then the star key, dismisses it. Skins are INI files plus
images. lockctl, the companion tool, is included.")
set(CPACK_STRIP_FILES ON)

# The program folder sits at /opt/lockapp; the deb component's absolute paths
# land in the package through DESTDIR.
set(CPACK_SET_DESTDIR ON)
set(CPACK_INSTALL_PREFIX ${LOCKAPP_PACKAGE_FOLDER})
set(CPACK_PACKAGING_INSTALL_PREFIX ${LOCKAPP_PACKAGE_FOLDER})
# Both components go into the one package; the "config" component's plain
# config.cfg does not (the deb component brings the conffile and its link).
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_COMPONENTS_ALL Unspecified deb)

set(CPACK_DEBIAN_PACKAGE_NAME lockapp)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${LOCKAPP_PACKAGE_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SECTION x11)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The Qt libraries come from dpkg-shlibdeps; what is loaded at run time
# (the platform plugins, the fonts the skins ask for, the session bus) is named.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-wqy-microhei, fonts-dejavu-core, dbus")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${packaging_out}/conffiles)

include(CPack)
