# Installation and the Debian package.
#
# The program looks for the time-up sound beside itself, so the executable and
# Zikan.wav share a folder of their own, lib/nihonshib; bin/nihonshib is a relative
# symbolic link to it (the program finds its folder through /proc/self/exe, which
# sees through the link).

include(GNUInstallDirs)

set(NIHONSHIB_PROGRAM_DIR "lib/nihonshib" CACHE STRING
    "Folder, under the install prefix, that holds the program and its sound")
set(NIHONSHIB_MAINTAINER "nihonshib maintainers <nihonshib@localhost>" CACHE STRING
    "Maintainer field of the Debian package")

install(TARGETS nihonshib RUNTIME DESTINATION ${NIHONSHIB_PROGRAM_DIR})
install(FILES ${NIHONSHIB_SOUND} DESTINATION ${NIHONSHIB_PROGRAM_DIR})

# The link is made in the build tree and installed as a link, so it points the same
# way under any prefix and DESTDIR.
file(RELATIVE_PATH program_from_bindir
     "/prefix/${CMAKE_INSTALL_BINDIR}" "/prefix/${NIHONSHIB_PROGRAM_DIR}/nihonshib")
set(launcher_link "${PROJECT_BINARY_DIR}/packaging/nihonshib")
file(MAKE_DIRECTORY "${PROJECT_BINARY_DIR}/packaging")
file(CREATE_LINK "${program_from_bindir}" "${launcher_link}" SYMBOLIC)
install(FILES "${launcher_link}" DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES "${PROJECT_SOURCE_DIR}/packaging/nihonshib.desktop"
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN ITEMS 16 32 48 256)
    install(FILES "${PROJECT_SOURCE_DIR}/resources/icons/app-${size}.png"
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps
            RENAME nihonshib.png)
endforeach()

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME nihonshib)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${NIHONSHIB_MAINTAINER}")
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_PACKAGE_NAME nihonshib)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION education)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${NIHONSHIB_MAINTAINER}")
# The first line is the synopsis; CPack indents the rest as the extended description.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION [=[timed, self-marking Japanese History B practice exam
A Japanese-language, offline practice run of a 36-question, 100-point Japanese
History B entrance-test paper: a question booklet and a figure, a 36-page answer
sheet of check boxes, a 60-minute countdown with a time-up chime, marking against
the built-in answer key, and a verdict by score band.

大学入試の共通試験にならった「日本史B」の模擬試験を、時間を計って解き、その場で
採点するデスクトップ・プログラムです。全6問・36設問・100点満点。]=])

# dpkg-shlibdeps finds the libraries the program links (Qt Widgets, Gui, Core,
# Multimedia and the C++ runtime). It cannot see what Qt loads at run time, nor the
# fonts the windows are drawn in, so those are named here.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, fonts-ipafont-gothic, fonts-ipafont-mincho")

# A source tarball is the tree as checked in, without build folders.
set(CPACK_SOURCE_GENERATOR TXZ)
set(CPACK_SOURCE_IGNORE_FILES "/\\.git/" "/build[^/]*/")

include(CPack)
