# The Debian package: "cpack -G DEB" in a build folder. Its dependencies are read from the
# programs by dpkg-shlibdeps; what the programs load at run time without linking it is named here.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME kirotune)
set(CPACK_PACKAGE_VENDOR "Kirotune")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "Kirotune developers <kirotune@qizhuo-motion.example>")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://www.qizhuo-motion.example/")
# CPack indents the lines after the summary and turns the empty line into a paragraph break.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
    "configuration and tuning software for QZ318 stepper-motor drives
Kirotune reads and changes the parameters of QZ318 and QZ318-X7 digital
stepper-motor drives over RS-232 (Modbus RTU): currents, resolution,
anti-resonance compensation and current-loop gains. It runs the current step
test and plots the response, queries and clears faults, commits parameters to
the drive's EEPROM and keeps parameter sets on the PC.

The package holds the two tuners (qztune-x7 and QZ318), the register probe
RegProbe, the bench tool qzcli and the simulated drive qzdrive-sim.")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Loaded as plugins, so dpkg-shlibdeps cannot see them: the parameter database's SQLite driver and
# the platform plugins that put a window on the screen.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libqt6sql6-sqlite, qt6-qpa-plugins")
# The windows speak Chinese.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-wqy-microhei | fonts-noto-cjk")

include(CPack)
