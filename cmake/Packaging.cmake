# `make package`: a Debian package of what cmake/Install.cmake installs, under /usr.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME rq4720-tool)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "RQ-4720 tool developers <rq4720-tool@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "configure, test and update RQ-4720 iButton readers")
set(CPACK_PACKAGE_DESCRIPTION
    "Desktop configuration and service tool for the RQ-4720 iButton reader: edits the\n"
    "reader's output settings, writes and reads them over USB HID or RS232, saves and\n"
    "loads settings files, updates the reader's firmware and runs a communication test.\n"
    "rq4720-cli does the same from the command line, for scripts and production benches.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The shared libraries (Qt Core/Gui/Widgets/SerialPort, hidapi's hidraw library, the C++
# runtime) come from dpkg-shlibdeps; the Qt platform plugins are loaded at run time, so
# no library dependency names them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA
    ${PROJECT_SOURCE_DIR}/packaging/debian/postinst
    ${PROJECT_SOURCE_DIR}/packaging/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
