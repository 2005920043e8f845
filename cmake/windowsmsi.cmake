# Makes the Windows installer from the folder the zip is packed from, with
# wixl. CPack runs it before it packs the zip (CPACK_PRE_BUILD_SCRIPTS, see
# windowszip.cmake); the installer's test runs it through the build's make-msi
# script to make an older version from the same files:
#   cmake -DCV_MSI_STAGING=DIR -DCV_MSI_VERSION=X.Y.Z -DCV_MSI_OUTPUT=FILE.msi
#         -DCV_WIXL=... -DCV_WIXL_HEAT=... -DCV_MSI_SOURCE=....wxs -DCV_MSI_ICON=....ico
#         -P windowsmsi.cmake
cmake_minimum_required(VERSION 3.25)

if(CPACK_TEMPORARY_DIRECTORY)
    set(CV_MSI_STAGING "${CPACK_TEMPORARY_DIRECTORY}")
    set(CV_MSI_VERSION "${CPACK_PACKAGE_VERSION}")
    foreach(_var CV_MSI_OUTPUT CV_WIXL CV_WIXL_HEAT CV_MSI_SOURCE CV_MSI_ICON)
        set(${_var} "${CPACK_${_var}}")
    endforeach()
endif()
foreach(_var CV_MSI_STAGING CV_MSI_VERSION CV_MSI_OUTPUT CV_WIXL CV_WIXL_HEAT CV_MSI_SOURCE
             CV_MSI_ICON)
    if(NOT ${_var})
        message(FATAL_ERROR "windowsmsi.cmake: ${_var} is not set")
    endif()
endforeach()
if(NOT EXISTS "${CV_MSI_STAGING}/corvane-velmora.exe")
    message(FATAL_ERROR "windowsmsi.cmake: no corvane-velmora.exe in ${CV_MSI_STAGING}")
endif()

# Each version is a product of its own, and the same version is always the
# same product: its code is derived from the version.
file(STRINGS "${CV_MSI_SOURCE}" _line REGEX "UpgradeCode=\"[-0-9A-F]+\"")
string(REGEX MATCH "UpgradeCode=\"([-0-9A-F]+)\"" _match "${_line}")
if(NOT CMAKE_MATCH_1)
    message(FATAL_ERROR "windowsmsi.cmake: no UpgradeCode in ${CV_MSI_SOURCE}")
endif()
string(UUID _product_code NAMESPACE "${CMAKE_MATCH_1}" NAME "${CV_MSI_VERSION}" TYPE SHA1 UPPER)

# The component list: every file of the folder but the program, which the
# source declares itself for its shortcut.
get_filename_component(_out_dir "${CV_MSI_OUTPUT}" DIRECTORY)
get_filename_component(_out_name "${CV_MSI_OUTPUT}" NAME_WE)
set(_work "${_out_dir}/${_out_name}-wxs")
file(REMOVE_RECURSE "${_work}")
file(MAKE_DIRECTORY "${_work}")
file(GLOB_RECURSE _files LIST_DIRECTORIES false "${CV_MSI_STAGING}/*")
list(SORT _files)
list(REMOVE_ITEM _files "${CV_MSI_STAGING}/corvane-velmora.exe")
list(JOIN _files "\n" _list)
file(WRITE "${_work}/files.txt" "${_list}\n")
execute_process(
    COMMAND "${CV_WIXL_HEAT}" --prefix "${CV_MSI_STAGING}/" --directory-ref INSTALLDIR
            --component-group StagedFiles --var var.StageDir --win64
    INPUT_FILE "${_work}/files.txt"
    OUTPUT_FILE "${_work}/files.wxs"
    RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "windowsmsi.cmake: wixl-heat failed (${_rc})")
endif()

# wixl finds no source file by an absolute path: it runs in the folder.
file(RELATIVE_PATH _icon "${CV_MSI_STAGING}" "${CV_MSI_ICON}")
execute_process(
    COMMAND "${CV_WIXL}" --arch x64 -o "${CV_MSI_OUTPUT}"
            -D "Version=${CV_MSI_VERSION}" -D "ProductCode=${_product_code}"
            -D StageDir=. -D "Icon=${_icon}" -D Win64=yes
            "${CV_MSI_SOURCE}" "${_work}/files.wxs"
    WORKING_DIRECTORY "${CV_MSI_STAGING}"
    RESULT_VARIABLE _rc)
if(NOT _rc EQUAL 0)
    message(FATAL_ERROR "windowsmsi.cmake: wixl failed (${_rc})")
endif()
file(REMOVE_RECURSE "${_work}")
message(STATUS "Windows installer: ${CV_MSI_OUTPUT}")
