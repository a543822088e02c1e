# The Debian package (cpack -G DEB in the build tree; scripts/package.sh).
# Dependencies come from the binaries (dpkg-shlibdeps); no maintainer scripts
# are needed: udev picks the rule up at the adapter's next plug.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME servobench)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "servobench developers")
set(CPACK_PACKAGE_CONTACT ${SERVOBENCH_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "commission and debug CAN-bus servo motors")
set(CPACK_PACKAGE_DESCRIPTION
    "A desktop tool for commissioning and debugging small CAN-bus servo motors
through a USB-CAN adapter that shows up as a serial port: scan the bus, edit
the motor's parameter table, command the motor, record live signals,
calibrate the encoder, change CAN IDs and flash firmware. servobench-cli does
the same from a shell; servobench-sim simulates the adapter and the motors.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${SERVOBENCH_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The Chinese texts need a CJK font; bash-completion loads the CLI's completion.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "bash-completion")
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)
