# Installation layout (GNUInstallDirs) and the Debian package (CPack).
#
#   <bindir>/tarvex, <bindir>/tarvex-cli                 (installed by ui/ and cli/)
#   <libdir>/tarvex/libtarvex-ftdi.so, libtarvex-vgyro.so  the adapter libraries, where
#                                                        D2xxDriver::FindBesideProgram looks
#   <datadir>/applications/tarvex.desktop, <datadir>/icons/hicolor/scalable/apps/tarvex.svg
#                                                        (installed by resources/window/)
#   <datadir>/metainfo/io.tarvex.Tarvex.metainfo.xml
#   lib/udev/rules.d/70-tarvex.rules                     the adapter's access rule
#   <datadir>/tarvex/translations/*.qm                   copies; the binaries embed them
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

install(FILES ${PROJECT_SOURCE_DIR}/resources/packaging/io.tarvex.Tarvex.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)

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
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Reads the KR640 gyro's settings through the TBX-3 USB adapter, edits them, writes them
back verified, keeps them in settings files and places the tail servo's travel limits.
Includes tarvex-cli and a virtual gyro for use without an adapter.")
set(CPACK_PACKAGE_CONTACT "Tarvex developers")
set(CPACK_PACKAGING_INSTALL_PREFIX "/usr")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION "electronics")
set(CPACK_DEBIAN_PACKAGE_PRIORITY "optional")
# Debian 12 package names of what the binaries and the adapter libraries load. The Qt
# platform plugins come with libqt6gui6, the SVG icon plugin with libqt6svg6.
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "libc6 (>= 2.36), libstdc++6 (>= 12), libgcc-s1, libqt6core6 (>= 6.4), libqt6gui6 (>= 6.4), libqt6widgets6 (>= 6.4), libqt6svg6 (>= 6.4), libftdi1-2 (>= 1.5)")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
include(CPack)
