# Packages of the installation: cpack in the build folder makes them.
# Common settings first, then one part per platform's package format.
set(CPACK_PACKAGE_NAME corvane-velmora)
set(CPACK_PACKAGE_VENDOR CORVANE)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY
    "Download the stored records of a photovoltaic installation tester")
set(CPACK_PACKAGE_CONTACT "CORVANE <support@corvane.example>")
set(CPACK_PACKAGE_HOMEPAGE_URL https://corvane.example/)
set(CPACK_STRIP_FILES ON)

if(WIN32)
    include(${CMAKE_CURRENT_LIST_DIR}/windowszip.cmake)
else()
    set(CPACK_GENERATOR DEB)
    set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
    set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
    set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
    set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
    # The body under the summary line.
    set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
        "Fetches the records that a photovoltaic installation tester keeps in its
memory over a serial port or USB serial adapter, shows them as they arrive
and saves them to a file, byte for byte or in the German CSV number format.")
    # The shared libraries the binaries link (Qt 6, libudev, the C++ runtime)
    # as dpkg-shlibdeps finds them; the toolkit's display plug-ins are loaded
    # at run time, so they are named here.
    set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
    set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins")
    set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "xdg-utils")
endif()

include(CPack)
