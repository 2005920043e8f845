# The Qt for Windows the cross-build links against, and the DLLs a program of
# a Windows build loads from it and from the compiler. Included by the win
# preset's toolchain (for the name alone, before any project) and by the
# build, where it also looks the DLLs up. The velmora script and
# tools/windows/build-qt.sh read the name from the line below.
set(CV_QT_WINDOWS_NAME qt6.4.2-mingw64)

if(NOT WIN32 OR NOT TARGET Qt6::Core OR DEFINED CV_QT_WINDOWS_BIN)
    return()
endif()

get_target_property(_cv_qtcore_dll Qt6::Core IMPORTED_LOCATION_RELEASE)
if(NOT _cv_qtcore_dll)
    get_target_property(_cv_qtcore_dll Qt6::Core IMPORTED_LOCATION)
endif()
get_filename_component(CV_QT_WINDOWS_BIN "${_cv_qtcore_dll}" DIRECTORY)
get_filename_component(CV_QT_WINDOWS_PLUGINS "${CV_QT_WINDOWS_BIN}/../plugins" ABSOLUTE)

# The compiler's runtime, which a MinGW program needs beside it.
set(CV_WINDOWS_RUNTIME_DLLS)
if(MINGW)
    foreach(_dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
        execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${_dll}
            OUTPUT_VARIABLE _path OUTPUT_STRIP_TRAILING_WHITESPACE)
        if(NOT IS_ABSOLUTE "${_path}" OR NOT EXISTS "${_path}")
            message(FATAL_ERROR "${_dll} not found by ${CMAKE_CXX_COMPILER}")
        endif()
        list(APPEND CV_WINDOWS_RUNTIME_DLLS "${_path}")
    endforeach()
endif()
