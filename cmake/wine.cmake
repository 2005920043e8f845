# A cross-build for Windows runs its tests under Wine: a small script in the
# build folder gives tools/windows/wine-run.sh the folders of the DLLs and a
# Wine prefix of the build's own, and ctest puts it in front of every test.
# The DLLs are those qtwindows.cmake finds.

set(_cv_dll_dirs "${CV_QT_WINDOWS_BIN}")
foreach(_dll IN LISTS CV_WINDOWS_RUNTIME_DLLS)
    get_filename_component(_dir "${_dll}" DIRECTORY)
    list(APPEND _cv_dll_dirs "${_dir}")
endforeach()
list(REMOVE_DUPLICATES _cv_dll_dirs)
list(JOIN _cv_dll_dirs ";" CV_WINE_DLL_PATH)

set(CV_WINE_PREFIX "${CMAKE_BINARY_DIR}/wineprefix" CACHE PATH "Wine prefix for the tests")
set(CV_WINE_RUN "${CMAKE_BINARY_DIR}/wine-run")
file(WRITE ${CV_WINE_RUN} "#!/bin/sh
export CV_WINE_DLL_PATH=\"${CV_WINE_DLL_PATH}\"
export WINEPREFIX=\"\${WINEPREFIX:-${CV_WINE_PREFIX}}\"
exec \"${PROJECT_SOURCE_DIR}/tools/windows/wine-run.sh\" \"\$@\"
")
file(CHMOD ${CV_WINE_RUN} PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE
     WORLD_READ WORLD_EXECUTE)
if(NOT CMAKE_CROSSCOMPILING_EMULATOR)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${CV_WINE_RUN})
endif()

# Wine maps the host's root to drive Z:.
set(CV_HOST_ROOT "Z:")
