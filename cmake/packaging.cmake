# The Debian package: what `cmake --install` puts under /usr, with the Qt runtime found from the
# programs' own libraries and the Japanese font the interface needs.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME qnview)
set(CPACK_PACKAGE_VENDOR "QN-VIEW developers")
set(CPACK_PACKAGE_CONTACT "QN-VIEW developers <qnview@localhost>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Find, drive, log and plot QNNET networked I/O units")
set(CPACK_PACKAGE_DESCRIPTION "QN-VIEW finds the QNNET networked I/O units on a LAN, connects to each
in its own window, reads and drives its inputs and outputs, logs readings to CSV and shows them on a
trend graph. Also qnlog, a service that logs many units unattended into the same CSV files,
qnctl, a command-line client, and qnsim, a unit simulator for trying it out.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Not found from the libraries: the platform plugin that opens windows and a CJK face.
# qnlog's MQTT client (found from the program too when it was built with MQTT).
if(QN_HAVE_MQTT)
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-vlgothic | fonts-ipafont-gothic, libpaho-mqtt1.3")
else()
  set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-vlgothic | fonts-ipafont-gothic")
endif()
# The example configuration of qnlog is the operator's to change: dpkg keeps the changes.
file(WRITE ${CMAKE_BINARY_DIR}/debian/conffiles "/etc/qnlog/qnlog.conf\n")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/debian/conffiles)
include(CPack)
