# The changelog and the copyright file of the package, written from their templates in
# packaging/ with the maintainer's name and address. The CMake route writes them into
# the build folder; debian/ holds them written with the default maintainer, and
#
#     cmake [-DNIHONSHIB_MAINTAINER="Name <address>"] [-DNIHONSHIB_SOURCE=...] -P cmake/DebianFiles.cmake
#
# rewrites them there, with the Maintainer field of debian/control, for whoever
# publishes the package under their own name.

set(NIHONSHIB_DEFAULT_MAINTAINER "nihonshib maintainers <nihonshib@localhost>")

# The copyright file's Source field: where the source can be had. Without a published
# home, that is from the maintainer.
function(nihonshib_source_field maintainer source result)
    if(source STREQUAL "")
        set(source "${maintainer}")
    endif()
    set(${result} "${source}" PARENT_SCOPE)
endfunction()

function(nihonshib_write_package_texts source_dir output_dir maintainer source)
    set(NIHONSHIB_MAINTAINER "${maintainer}")
    nihonshib_source_field("${maintainer}" "${source}" NIHONSHIB_SOURCE)
    configure_file("${source_dir}/packaging/changelog.in" "${output_dir}/changelog" @ONLY)
    configure_file("${source_dir}/packaging/copyright.in" "${output_dir}/copyright" @ONLY)
endfunction()

if(CMAKE_SCRIPT_MODE_FILE STREQUAL CMAKE_CURRENT_LIST_FILE)
    get_filename_component(source_dir "${CMAKE_CURRENT_LIST_DIR}" DIRECTORY)
    if(NOT DEFINED NIHONSHIB_MAINTAINER)
        set(NIHONSHIB_MAINTAINER "${NIHONSHIB_DEFAULT_MAINTAINER}")
    endif()
    if(NOT DEFINED NIHONSHIB_SOURCE)
        set(NIHONSHIB_SOURCE "")
    endif()
    nihonshib_write_package_texts("${source_dir}" "${source_dir}/debian"
                                  "${NIHONSHIB_MAINTAINER}" "${NIHONSHIB_SOURCE}")
    file(READ "${source_dir}/debian/control" control)
    string(REGEX REPLACE "\nMaintainer: [^\n]*\n" "\nMaintainer: ${NIHONSHIB_MAINTAINER}\n" control "${control}")
    file(WRITE "${source_dir}/debian/control" "${control}")
endif()
