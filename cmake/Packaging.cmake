# Installation and the Debian package.
#
# The program looks for the time-up sound and its sound module beside itself, so the
# executable, the sound (NIHONSHIB_SOUND) and modules/nihonshib-sound.so share a
# folder of their own, lib/nihonshib, the module's only place; bin/nihonshib is a relative
# symbolic link to it (the program finds its folder through /proc/self/exe, which
# sees through the link).

include(GNUInstallDirs)
include(${CMAKE_CURRENT_LIST_DIR}/DebianFiles.cmake)

# Folders 0755 whatever the builder's umask, as Debian requires of a package.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)

set(NIHONSHIB_PROGRAM_DIR "lib/nihonshib" CACHE STRING
    "Folder, under the install prefix, that holds the program, its sound and its sound module")
set(NIHONSHIB_MAINTAINER "${NIHONSHIB_DEFAULT_MAINTAINER}" CACHE STRING
    "Maintainer of the Debian package: its Maintainer field, the changelog's signature, the copyright file's Upstream-Contact")
set(NIHONSHIB_SOURCE "" CACHE STRING
    "Where the source is published: the copyright file's Source field (empty: from the maintainer)")
option(NIHONSHIB_INSTALL_PACKAGE_DOCS
    "Install the copyright file and the changelog in share/doc (off when debhelper installs its own)" ON)

# Relocations resolved and made read-only at start-up, as Debian builds its own
# programs (dpkg-buildflags' "bindnow").
if(CMAKE_SYSTEM_NAME STREQUAL "Linux")
    target_link_options(nihonshib PRIVATE "LINKER:-z,relro,-z,now")
endif()
# Qt's project set-up gives installed programs a RUNPATH of $ORIGIN and $ORIGIN/../lib;
# ours links only system libraries, which the loader finds on its own.
set_target_properties(nihonshib PROPERTIES INSTALL_RPATH "")
install(TARGETS nihonshib RUNTIME DESTINATION ${NIHONSHIB_PROGRAM_DIR})
# A module is loaded, not run: read-only, as Debian wants shared objects.
install(TARGETS nihonshib-sound LIBRARY DESTINATION ${NIHONSHIB_PROGRAM_DIR}/${NIHONSHIB_SOUND_MODULE_DIR}
        PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
# The compilers' version strings (.comment) are of no use on a user's machine, and
# Debian's own strip drops them too.
find_program(NIHONSHIB_OBJCOPY NAMES objcopy HINTS ${CMAKE_OBJCOPY})
if(NIHONSHIB_OBJCOPY)
    foreach(binary IN ITEMS $<TARGET_FILE_NAME:nihonshib> ${NIHONSHIB_SOUND_MODULE_DIR}/$<TARGET_FILE_NAME:nihonshib-sound>)
        install(CODE "execute_process(COMMAND \"${NIHONSHIB_OBJCOPY}\" --remove-section=.comment
            \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/${NIHONSHIB_PROGRAM_DIR}/${binary}\"
            COMMAND_ERROR_IS_FATAL ANY)")
    endforeach()
endif()
install(FILES ${NIHONSHIB_SOUND} DESTINATION ${NIHONSHIB_PROGRAM_DIR})

# The link is made in the build tree and installed as a link, so it points the same
# way under any prefix and DESTDIR.
file(RELATIVE_PATH program_from_bindir
     "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${NIHONSHIB_PROGRAM_DIR}/nihonshib")
set(launcher_link "${PROJECT_BINARY_DIR}/packaging/nihonshib")
file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/packaging")
file(CREATE_LINK "${program_from_bindir}" "${launcher_link}" SYMBOLIC)
install(FILES "${launcher_link}" DESTINATION ${CMAKE_INSTALL_BINDIR})

# The desktop file and the AppStream metadata share the component's ID, as AppStream
# requires; packaging/invalid.nihonshib.nihonshib.metainfo.xml says why this ID.
set(NIHONSHIB_APP_ID "invalid.nihonshib.nihonshib")
install(FILES "${PROJECT_SOURCE_DIR}/packaging/${NIHONSHIB_APP_ID}.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES "${PROJECT_SOURCE_DIR}/packaging/${NIHONSHIB_APP_ID}.metainfo.xml"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN ITEMS 16 22 24 32 48 64 128 256)
    install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/app-${size}.png"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME nihonshib.png)
endforeach()
install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/app.svg"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps
        RENAME nihonshib.svg)

# The licence statement, the changelog and the manual pages (English, and Japanese in
# UTF-8). Debian wants the changelog and the pages compressed with gzip -9n: no name
# or time stamp inside, so the same sources give the same bytes.
find_program(NIHONSHIB_GZIP gzip REQUIRED)
set(compressed_docs)
function(install_gzipped source destination installed_name)
    get_filename_component(source_name "${source}" NAME)
    set(output "${PROJECT_BINARY_DIR}/packaging/${source_name}.gz")
    add_custom_command(OUTPUT "${output}"
        COMMAND ${NIHONSHIB_GZIP} -9n -c "${source}" > "${output}"
        DEPENDS "${source}"
        VERBATIM)
    install(FILES "${output}" DESTINATION ${destination} RENAME ${installed_name})
    set(compressed_docs ${compressed_docs} "${output}" PARENT_SCOPE)
endfunction()

if(NIHONSHIB_INSTALL_PACKAGE_DOCS)
    set(doc_dir ${CMAKE_INSTALL_DATADIR}/doc/nihonshib)
    nihonshib_write_package_texts("${PROJECT_SOURCE_DIR}" "${PROJECT_BINARY_DIR}/packaging"
                                  "${NIHONSHIB_MAINTAINER}" "${NIHONSHIB_SOURCE}")
    install(FILES "${PROJECT_BINARY_DIR}/packaging/copyright" DESTINATION ${doc_dir})
    install_gzipped("${PROJECT_BINARY_DIR}/packaging/changelog" ${doc_dir} changelog.gz)
endif()
install_gzipped("${PROJECT_SOURCE_DIR}/packaging/nihonshib.1"
                ${CMAKE_INSTALL_MANDIR}/man1 nihonshib.1.gz)
install_gzipped("${PROJECT_SOURCE_DIR}/packaging/nihonshib.ja.1"
                ${CMAKE_INSTALL_MANDIR}/ja/man1 nihonshib.1.gz)
add_custom_target(compressed_docs ALL DEPENDS ${compressed_docs})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nihonshib)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${NIHONSHIB_MAINTAINER}")
# The program is stripped. Its debug symbols come as a package of their own,
# nihonshib-dbgsym, from the Debian build (debian/); CPack's own debug-symbol package
# (CMake 3.25) lists its files in md5sums under the build folder's path and has no
# copyright file, so it would be neither reproducible nor what Debian accepts.
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)

set(CPACK_DEBIAN_PACKAGE_NAME nihonshib)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NIHONSHIB_MAINTAINER}")
# The control files get the modes dpkg expects, not those of the build tree.
set(CPACK_DEBIAN_PACKAGE_CONTROL_STRICT_PERMISSION ON)
# The first line is the synopsis; CPack indents the rest as the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[timed, self-marking Japanese History B practice exam
A Japanese-language, offline practice run of a 36-question, 100-point
Japanese History B entrance-test paper: a question booklet and a figure,
a 36-page answer sheet of check boxes, a 60-minute countdown with a
time-up chime, marking against the built-in answer key, and a verdict
by score band.

大学入試の共通試験にならった「日本史B」の模擬試験を、
時間を計って解き、その場で採点するデスクトップ・プログラムです。
全6問・36設問・100点満点。]=])

# dpkg-shlibdeps finds the libraries the program and its sound module link (Qt
# Widgets, Gui, Core, Multimedia, libsndfile, the sound server's client library and
# the C++ runtime). It cannot see what Qt loads at run time, nor the Japanese of
# Qt's own dialogs, nor the fonts the windows are drawn in, so those are named here;
# Qt's Wayland plugin lets the program run natively in a Wayland session.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, qt6-translations-l10n, fonts-ipafont-gothic, fonts-ipafont-mincho")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-wayland")

# A source tarball is the tree as checked in, without build folders.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/")

include(CPack)
