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

    # What a Debian package carries beside the program: its copyright, its
    # changelog and the reasons for the lintian tags it keeps (all three in
    # packaging/debian/).
    set(_cv_debian ${PROJECT_SOURCE_DIR}/packaging/debian)
    set(_cv_changelog ${CMAKE_BINARY_DIR}/packaging/changelog.gz)
    add_custom_command(OUTPUT ${_cv_changelog}
        COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/packaging
        COMMAND gzip -9nc ${_cv_debian}/changelog > ${_cv_changelog}
        DEPENDS ${_cv_debian}/changelog
        VERBATIM)
    add_custom_target(cv_debian_changelog ALL DEPENDS ${_cv_changelog})
    install(FILES ${_cv_debian}/copyright ${_cv_changelog} DESTINATION share/doc/corvane-velmora)
    install(FILES ${_cv_debian}/lintian-overrides DESTINATION share/lintian/overrides
            RENAME corvane-velmora)
    set(CPACK_CV_STRIP ${CMAKE_STRIP})
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/debianstrip.cmake)
endif()

include(CPack)
