# Run by CPack on the Debian package's files before it packs them
# (CPACK_PRE_BUILD_SCRIPTS): the binaries, already without their symbols,
# also lose the sections Debian's own packages drop, as dh_strip does.
file(GLOB_RECURSE _files LIST_DIRECTORIES false "${CPACK_TEMPORARY_DIRECTORY}/*")
foreach(_file IN LISTS _files)
    if(IS_SYMLINK "${_file}")
        continue()
    endif()
    file(READ "${_file}" _magic LIMIT 4 HEX)
    if(_magic STREQUAL "7f454c46")
        execute_process(
            COMMAND "${CPACK_CV_STRIP}" --remove-section=.comment --remove-section=.note "${_file}"
            COMMAND_ERROR_IS_FATAL ANY)
    endif()
endforeach()
