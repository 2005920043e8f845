# The Debian package's binaries are built with Debian's hardening flags, as
# dpkg-buildflags gives them with every hardening feature (fortified
# functions, stack protector, read-only relocations, immediate binding), on
# top of the build type's own. The package preset turns it on; fortification
# needs an optimised build.
option(CV_DEBIAN_BUILDFLAGS "Build with Debian's hardening flags (dpkg-buildflags)" OFF)
if(NOT CV_DEBIAN_BUILDFLAGS)
    return()
endif()
find_program(CV_DPKG_BUILDFLAGS dpkg-buildflags REQUIRED)
foreach(_kind CPPFLAGS CXXFLAGS LDFLAGS)
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env DEB_BUILD_MAINT_OPTIONS=hardening=+all
                ${CV_DPKG_BUILDFLAGS} --get ${_kind}
        OUTPUT_VARIABLE _cv_${_kind} OUTPUT_STRIP_TRAILING_WHITESPACE
        COMMAND_ERROR_IS_FATAL ANY)
endforeach()
string(APPEND CMAKE_CXX_FLAGS " ${_cv_CPPFLAGS} ${_cv_CXXFLAGS}")
string(APPEND CMAKE_EXE_LINKER_FLAGS " ${_cv_LDFLAGS}")
string(APPEND CMAKE_SHARED_LINKER_FLAGS " ${_cv_LDFLAGS}")
