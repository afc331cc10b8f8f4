# The Debian package of the program (cpack -G DEB in a build folder): the
# three executables, the program's files, desktop entry, icon, manual page
# and the udev rule under /usr. Dependencies are worked out from the
# binaries by dpkg-shlibdeps (Debian package dpkg-dev).
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME norvoisp)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${PROJECT_VERSION_PATCH})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "In-system programmer for 24C, 25C and 93C serial EEPROMs")
set(CPACK_PACKAGE_DESCRIPTION "norvoisp programs, reads, verifies and erases 24C (I2C), 25C (SPI) and 93C
(Microwire) serial EEPROMs through the Norvo ISP programmer unit on a serial or
a printer port. It loads Intel hex, Motorola S-record, Tektronix, Atmel
generic and binary files, writes serial numbers, keeps a traceability log and
programs several units at once (norvoisp-cli). A simulated programmer unit
(norvoisp-unitsim) stands in when there is no hardware.")
set(CPACK_PACKAGE_CONTACT "norvoisp developers <norvoisp@lumora.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded at run time by the CH341A kind, so the library scan does not see it.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libusb-1.0-0 (>= 2:1.0.16)")
# The udev rule takes effect when the package is installed: the scripts
# reload the rules and apply them to the devices plugged in (no replug).
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "udev")
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_CURRENT_LIST_DIR}/debian/postinst ${CMAKE_CURRENT_LIST_DIR}/debian/postrm)
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
include(CPack)
