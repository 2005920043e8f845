# The zip a technician unpacks and runs: the program with everything it loads
# in one folder, `cmake --build <dir> --target package`. Included by
# packaging.cmake, which sets what all packages share.

get_target_property(_cv_qtcore_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT _cv_qtcore_dll)
    get_target_property(_cv_qtcore_dll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(_cv_qt_bin "${_cv_qtcore_dll}" DIRECTORY)
get_filename_component(_cv_qt_plugins "${_cv_qt_bin}/../plugins" ABSOLUTE)

set(_cv_zip_dlls)
foreach(_module Core Gui Widgets)
    list(APPEND _cv_zip_dlls "${_cv_qt_bin}/Qt6${_module}.dll")
endforeach()
if(MINGW)
    foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
            OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
        list(APPEND _cv_zip_dlls "${_path}")
    endforeach()
endif()
install(FILES ${_cv_zip_dlls} DESTINATION ${CV_INSTALL_APPDIR})
foreach(_plugin platforms/qwindows.dll styles/qwindowsvistastyle.dll imageformats/qico.dll)
    get_filename_component(_dir "${_plugin}" DIRECTORY)
    install(FILES "${_cv_qt_plugins}/${_plugin}" DESTINATION ${CV_INSTALL_APPDIR}/${_dir})
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
