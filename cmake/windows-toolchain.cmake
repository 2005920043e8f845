# The win preset's toolchain: Qt's own, in .toolkit/ under the name that
# qtwindows.cmake gives, or in CV_QT_WINDOWS_DIR.
include(${CMAKE_CURRENT_LIST_DIR}/qtwindows.cmake)
if(NOT CV_QT_WINDOWS_DIR)
    set(CV_QT_WINDOWS_DIR ${CMAKE_CURRENT_LIST_DIR}/../.toolkit/${CV_QT_WINDOWS_NAME})
endif()
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES CV_QT_WINDOWS_DIR)
include(${CV_QT_WINDOWS_DIR}/lib/cmake/Qt6/qt.toolchain.cmake)
