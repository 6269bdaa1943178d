# Installation layout (GNUInstallDirs) and the Debian package (CPack).
#
#   <bindir>/tarvex, <bindir>/tarvex-cli                 (installed by ui/ and cli/)
#   <libdir>/tarvex/libtarvex-ftdi.so, libtarvex-vgyro.so  the adapter libraries, where
#                                                        D2xxDriver::FindBesideProgram looks
#   <datadir>/applications/tarvex.desktop, <datadir>/icons/hicolor/scalable/apps/tarvex.svg
#                                                        (installed by resources/window/)
#   <datadir>/metainfo/io.tarvex.tarvex.metainfo.xml    (configured with the release)
#   <datadir>/mime/packages/tarvex.xml                   the settings files' MIME type
#   <mandir>/man1/tarvex.1.gz, tarvex-cli.1.gz           made from the programs' --help
#   <datadir>/doc/tarvex/copyright, changelog.Debian.gz
#   <datadir>/lintian/overrides/tarvex                   what lintian need not report
#   lib/udev/rules.d/70-tarvex.rules                     the adapter's access rule
#   <datadir>/tarvex/translations/*.qm                   the window's, copies; it embeds them
#
# Folders that install their own targets keep doing so; the rules here cover what no
# folder installs. Each target is guarded, so a partial tree still configures.

# The adapter's udev rule. udev reads /usr/lib/udev/rules.d (the .deb's prefix is /usr)
# and /etc/udev/rules.d; under another prefix the rule lands in <prefix>/lib/udev/rules.d
# and has to be copied to /etc/udev/rules.d by hand (see docs/user-guide.md).
set(TARVEX_UDEV_RULES_DIR "lib/udev/rules.d" CACHE STRING
    "Where the udev rule is installed, relative to the prefix or absolute")

if(TARGET tarvex-ftdi)
    install(TARGETS tarvex-ftdi
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}/tarvex
        RUNTIME DESTINATION ${CMAKE_INSTALL_LIBDIR}/tarvex)
endif()

set(_tarvex_udev_rule ${PROJECT_SOURCE_DIR}/resources/udev/70-tarvex.rules)
if(EXISTS ${_tarvex_udev_rule})
    install(FILES ${_tarvex_udev_rule} DESTINATION ${TARVEX_UDEV_RULES_DIR})
endif()
unset(_tarvex_udev_rule)

# --- The release ------------------------------------------------------------------------
# The version is the project's (CMakeLists.txt). The release date, in seconds since 1970,
# dates the metainfo's release, the manual pages and the changelog.
set(TARVEX_RELEASE_EPOCH 1796644800)  # 2026-12-07 12:00 UTC
set(TARVEX_DEBIAN_VERSION "${PROJECT_VERSION}-1")
set(TARVEX_MAINTAINER "The Tarvex developers <maintainers@tarvex.io>")
set(TARVEX_HOMEPAGE "https://tarvex.io/" CACHE STRING
    "The project's web site, with the screenshots of docs/screenshots under screenshots/")

set(_tarvex_epoch "$ENV{SOURCE_DATE_EPOCH}")
set(ENV{SOURCE_DATE_EPOCH} ${TARVEX_RELEASE_EPOCH})
string(TIMESTAMP TARVEX_RELEASE_DATE "%Y-%m-%d" UTC)
string(TIMESTAMP TARVEX_RELEASE_MONTH "%B %Y" UTC)
string(TIMESTAMP TARVEX_RELEASE_CHANGELOG_DATE "%a, %d %b %Y %H:%M:%S +0000" UTC)
set(ENV{SOURCE_DATE_EPOCH} "${_tarvex_epoch}")
unset(_tarvex_epoch)

set(_tarvex_packaging ${PROJECT_SOURCE_DIR}/resources/packaging)
set(_tarvex_generated ${CMAKE_BINARY_DIR}/packaging)
file(MAKE_DIRECTORY ${_tarvex_generated})

configure_file(${_tarvex_packaging}/io.tarvex.tarvex.metainfo.xml.in
               ${_tarvex_generated}/io.tarvex.tarvex.metainfo.xml @ONLY)
install(FILES ${_tarvex_generated}/io.tarvex.tarvex.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(FILES ${_tarvex_packaging}/tarvex-mime.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/mime/packages RENAME tarvex.xml)

# The copyright file and the changelog where Debian keeps them (gzip -9n: no name, no time).
find_program(TARVEX_GZIP gzip)
install(FILES ${_tarvex_packaging}/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvex)
install(FILES ${_tarvex_packaging}/lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME tarvex)
configure_file(${_tarvex_packaging}/changelog.Debian.in ${_tarvex_generated}/changelog.Debian
               @ONLY)
if(TARVEX_GZIP)
    execute_process(COMMAND ${TARVEX_GZIP} -9nc ${_tarvex_generated}/changelog.Debian
                    OUTPUT_FILE ${_tarvex_generated}/changelog.Debian.gz)
    install(FILES ${_tarvex_generated}/changelog.Debian.gz
            DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/tarvex)
endif()

# The manual pages, made at build time from the programs' own --help and --version, so
# they say what the programs say. A cross-build cannot run the programs and has none.
function(tarvex_man_page target summary see_also)
    if(NOT TARGET ${target} OR NOT TARVEX_GZIP OR CMAKE_CROSSCOMPILING)
        return()
    endif()
    set(page ${_tarvex_generated}/${target}.1.gz)
    add_custom_command(OUTPUT ${page}
        COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${target}> -DNAME=${target}
                "-DSUMMARY=${summary}" "-DDATE=${TARVEX_RELEASE_MONTH}" -DSEE_ALSO=${see_also}
                -DOUTPUT=${page} -DGZIP=${TARVEX_GZIP}
                -P ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        DEPENDS ${target} ${PROJECT_SOURCE_DIR}/cmake/ManPage.cmake
        COMMENT "Manual page ${target}(1) from ${target} --help"
        VERBATIM)
    add_custom_target(${target}_man ALL DEPENDS ${page})
    install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()
tarvex_man_page(tarvex "configuration window for the KR640 tail-rotor gyro" tarvex-cli)
tarvex_man_page(tarvex-cli "the KR640 gyro's settings from a terminal" tarvex)

# The compiled translations, wherever the resource folders produced them.
if(TARGET tarvex_strings OR TARGET tarvex_window_resources)
    install(CODE "
        file(GLOB_RECURSE _qm \"${CMAKE_BINARY_DIR}/resources/*.qm\")
        if(_qm)
            file(INSTALL \${_qm}
                 DESTINATION \"\${CMAKE_INSTALL_PREFIX}/${CMAKE_INSTALL_DATADIR}/tarvex/translations\")
        endif()")
endif()

# --- The .deb ---------------------------------------------------------------------------
set(CPACK_GENERATOR "DEB")
set(CPACK_PACKAGE_NAME "tarvex")
set(CPACK_PACKAGE_VENDOR "Tarvex")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)  # TARVEX_DEBIAN_VERSION, as the changelog names it
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
# Lines under 80 columns, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Tarvex reads the settings of a KR640 gyro through the TBX-3 USB adapter,
edits them, writes them back verified by reading the gyro again, keeps them
in settings files (.tcf) and places the tail servo's travel limits by eye.
It includes tarvex-cli for the terminal and a virtual gyro for trying it
without an adapter.")
set(CPACK_PACKAGE_CONTACT "${TARVEX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${TARVEX_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${TARVEX_HOMEPAGE}")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# Debian 12 package names of what the binaries and the adapter libraries load. The Qt
# platform plugins come with libqt6gui6, the SVG icon plugin with libqt6svg6.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6svg6 (>= 6.4), libftdi1-2 (>= 1.5)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
include(CPack)
