# A release build is compiled and linked with Debian's flags, as dpkg-buildflags gives
# them to Debian's own packages: the hardening (stack protector, _FORTIFY_SOURCE,
# format checks, full RELRO with immediate binding), -O2 -g, and a map of the source
# folder to "." so that the program comes out the same wherever the tree is checked
# out. A Debian package build (debian/rules) sets
# no build type and hands its flags over through the environment instead.

find_program(NIHONSHIB_DPKG_BUILDFLAGS dpkg-buildflags)
option(NIHONSHIB_DEBIAN_FLAGS "Compile and link a Release build with dpkg-buildflags' flags" ON)

if(NIHONSHIB_DEBIAN_FLAGS AND NIHONSHIB_DPKG_BUILDFLAGS AND CMAKE_BUILD_TYPE STREQUAL "Release"
   AND NOT NIHONSHIB_SANITIZE)
    # What debian/rules asks for, unless the builder has chosen otherwise.
    if(DEFINED ENV{DEB_BUILD_MAINT_OPTIONS})
        set(maint_options "$ENV{DEB_BUILD_MAINT_OPTIONS}")
    else()
        set(maint_options "hardening=+all")
    endif()
    foreach(kind IN ITEMS CPPFLAGS CXXFLAGS LDFLAGS)
        # The file-prefix map names the folder the command runs in: the source tree.
        execute_process(
            COMMAND ${CMAKE_COMMAND} -E env "DEB_BUILD_MAINT_OPTIONS=${maint_options}"
                    ${NIHONSHIB_DPKG_BUILDFLAGS} --get ${kind}
            WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
            OUTPUT_VARIABLE flags
            OUTPUT_STRIP_TRAILING_WHITESPACE
            COMMAND_ERROR_IS_FATAL ANY)
        separate_arguments(flags UNIX_COMMAND "${flags}")
        set(debian_${kind} ${flags})
    endforeach()
    # They come after CMake's own -O3, so Debian's -O2 is the level the program gets.
    add_compile_options(${debian_CPPFLAGS} ${debian_CXXFLAGS})
    add_link_options(${debian_LDFLAGS})
    list(JOIN debian_CXXFLAGS " " shown)
    message(STATUS "Debian build flags: ${shown}")
endif()
