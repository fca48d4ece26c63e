# The Debian package: `cpack -G DEB` in the build folder (scripts/package.sh
# builds it and checks its contents). It holds whatever Install.cmake
# installs, below /usr.

set(KVX3_PACKAGE_MAINTAINER "Quorvane KVX3 maintainers <kvx3@quorvane.invalid>"
    CACHE STRING "The Maintainer field of the Debian package")

set(CPACK_PACKAGE_NAME kvx3)
set(CPACK_PACKAGE_VENDOR Quorvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${KVX3_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "programming station for PIC microcontrollers")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGE_DIRECTORY ${CMAKE_BINARY_DIR}/package)

if(NOT WIN32)
    set(CPACK_GENERATOR DEB)
endif()
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${KVX3_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The extended description below the summary; CPack indents each line, and a
# lone "." separates paragraphs.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Drives the KVX3 USB writer, which holds a PIC microcontroller in its socket or
reaches it over ICSP: pick the device type from the catalogue, load an Intel
HEX file, and program, read, verify or erase the chip. Mid-range devices with
a 14-bit instruction word (PIC12/PIC16) and PIC18 devices are served.
.
kvx3 is the window, kvx3-sim the same window on a simulated writer with
simulated chips, and kvx3-cli the command-line tool. A udev rule gives the
user at the seat access to the writer.")

# libc, libstdc++, libusb, the Qt libraries and their exact versions come
# from the binaries, where the tool for it is there (it is part of
# dpkg-dev); without it they are named by hand (libusb's hotplug notice
# needs 1.0.16).
find_program(KVX3_DPKG_SHLIBDEPS dpkg-shlibdeps)
set(kvx3_window_programs OFF)
if(TARGET kvx3 OR TARGET kvx3-sim)
    set(kvx3_window_programs ON)
endif()
set(kvx3_depends)
if(KVX3_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
else()
    list(APPEND kvx3_depends "libusb-1.0-0 (>= 2:1.0.16)")
    if(kvx3_window_programs)
        list(APPEND kvx3_depends "libqt6core6 (>= 6.2)" "libqt6gui6 (>= 6.2)" "libqt6widgets6 (>= 6.2)")
    endif()
endif()
# What the libraries' own symbols do not tell: the plugins that let a Qt
# program open a window at all, and a font with Japanese glyphs for the
# window's texts.
if(kvx3_window_programs)
    list(APPEND kvx3_depends "qt6-qpa-plugins" "fonts-ipafont-gothic | fonts-noto-cjk")
endif()
list(JOIN kvx3_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)

include(CPack)
