# The zip a technician unpacks and runs: the program with everything it loads
# in one folder, `cmake --build <dir> --target package`. Included by
# packaging.cmake, which sets what all packages share.

set(_cv_zip_dlls ${CV_WINDOWS_RUNTIME_DLLS})
foreach(_module Core Gui Widgets)
    list(APPEND _cv_zip_dlls "${CV_QT_WINDOWS_BIN}/Qt6${_module}.dll")
endforeach()
install(FILES ${_cv_zip_dlls} DESTINATION ${CV_INSTALL_APPDIR})
foreach(_plugin platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll)
    get_filename_component(_dir "${_plugin}" DIRECTORY)
    install(FILES "${CV_QT_WINDOWS_PLUGINS}/${_plugin}" DESTINATION ${CV_INSTALL_APPDIR}/${_dir})
endforeach()

# The toolkit's DLLs come with their symbols; the zip does without them.
if(CMAKE_STRIP)
    install(CODE "
        file(GLOB_RECURSE _cv_dlls \"\${CMAKE_INSTALL_PREFIX}/*.dll\" \"\${CMAKE_INSTALL_PREFIX}/*.exe\")
        foreach(_dll IN LISTS _cv_dlls)
            execute_process(COMMAND \"${CMAKE_STRIP}\" --strip-unneeded \"\${_dll}\")
        endforeach()
    ")
endif()

set(CPACK_GENERATOR ZIP)
set(_cv_zip_name corvane-velmora-${PROJECT_VERSION}-windows-x64)
set(CPACK_PACKAGE_FILE_NAME ${_cv_zip_name})
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
set(CPACK_OUTPUT_FILE_PREFIX ${CMAKE_BINARY_DIR})
set(CV_WINDOWS_ZIP ${CMAKE_BINARY_DIR}/${_cv_zip_name}.zip)

# Beside the zip, the installer of the same files (windowsmsi.cmake), where
# Debian's wixl is at hand; a build on Windows makes the zip alone.
find_program(CV_WIXL wixl)
find_program(CV_WIXL_HEAT wixl-heat)
if(CV_WIXL AND CV_WIXL_HEAT)
    set(CV_WINDOWS_MSI ${CMAKE_BINARY_DIR}/${_cv_zip_name}.msi)
    set(CPACK_CV_MSI_OUTPUT ${CV_WINDOWS_MSI})
    set(CPACK_CV_WIXL ${CV_WIXL})
    set(CPACK_CV_WIXL_HEAT ${CV_WIXL_HEAT})
    set(CPACK_CV_MSI_SOURCE ${PROJECT_SOURCE_DIR}/packaging/windows/corvane-velmora.wxs)
    set(CPACK_CV_MSI_ICON ${PROJECT_SOURCE_DIR}/resources/corvane.ico)
    set(CPACK_PRE_BUILD_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/windowsmsi.cmake)
    # The same for other versions of the same files, for the installer's test:
    #   make-msi FOLDER VERSION OUTPUT.msi
    set(CV_MAKE_MSI ${CMAKE_BINARY_DIR}/make-msi)
    file(WRITE ${CV_MAKE_MSI} "#!/bin/sh
exec \"${CMAKE_COMMAND}\" -DCV_MSI_STAGING=\"$1\" -DCV_MSI_VERSION=\"$2\" -DCV_MSI_OUTPUT=\"$3\" \\
    -DCV_WIXL=\"${CV_WIXL}\" -DCV_WIXL_HEAT=\"${CV_WIXL_HEAT}\" \\
    -DCV_MSI_SOURCE=\"${CPACK_CV_MSI_SOURCE}\" -DCV_MSI_ICON=\"${CPACK_CV_MSI_ICON}\" \\
    -P \"${CMAKE_CURRENT_LIST_DIR}/windowsmsi.cmake\"
")
    file(CHMOD ${CV_MAKE_MSI} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
         GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
else()
    message(STATUS "wixl not found: the package target makes the zip only")
endif()
