# The Debian package of the program, made by `cpack -G DEB` in a build folder
# (scripts/package.sh). It holds what `cmake --install` installs, under /usr: the program, its
# manual page, desktop entry, icon and AppStream metadata, its copyright file, changelog and
# lintian's overrides.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quiltana)
set(CPACK_PACKAGE_VENDOR "Quiltana")
# Whoever builds a package for others names themselves here; the default address is no
# mailbox (.invalid), so that no one writes to a made-up one.
set(QUILTANA_PACKAGE_MAINTAINER "Quiltana maintainers <maintainers@quiltana.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QUILTANA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print many photographs on one sheet of paper")
# The long description as dpkg shows it: lines of at most 80 characters, each kept as it is.
set(CPACK_PACKAGE_DESCRIPTION [[
Quiltana prints many photographs on one sheet of paper.
Pick a grid, from one picture per sheet up to five columns by ten rows, and
fill its cells with JPEG, BMP or PNG pictures by dropping files or whole
folders onto the window or naming them on the command line.
Turn, cut, copy and paste pictures between cells, set the margins and the
gaps in millimetres, print a frame round every cell as a cutting line and
each picture's file name as a caption, then print the current page, every
page or a list of pages; without a printer, pages go to PDF files.
Its user interface is in Japanese.]])
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quiltana_<version>-<release>_<architecture>.deb
# The package's own revision of the program's version: 3.11-1 is the first package of 3.11. It
# is the version of the newest entry of data/changelog.Debian, which the tests compare.
set(QUILTANA_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_RELEASE ${QUILTANA_PACKAGE_RELEASE})
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps. The rest are not linked: the
# interface and the captions are Japanese, which shows as boxes without a Japanese face, and
# Qt's own buttons and dialogs ("Cancel", "Font" ...) stay English without Qt's Japanese
# catalogue, which the program loads from Qt's translations folder.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk, qt6-translations-l10n")
set(CPACK_SOURCE_GENERATOR "")

# What Debian asks of every package beside the program: the copyright file (machine-readable:
# the sources hold no licence, and none is granted) and the changelog, compressed as Debian
# keeps it (no name or time stamp in the gzip header).
set(quiltana_docdir ${CMAKE_INSTALL_DATADIR}/doc/${CPACK_PACKAGE_NAME})
set(quiltana_changelog ${CMAKE_BINARY_DIR}/changelog.Debian.gz)
add_custom_command(OUTPUT ${quiltana_changelog}
                   COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_SOURCE_DIR}/data/changelog.Debian ${CMAKE_BINARY_DIR}/changelog.Debian
                   COMMAND gzip -9nf ${CMAKE_BINARY_DIR}/changelog.Debian
                   DEPENDS ${CMAKE_SOURCE_DIR}/data/changelog.Debian VERBATIM)
add_custom_target(quiltana_changelog ALL DEPENDS ${quiltana_changelog})
install(FILES ${CMAKE_SOURCE_DIR}/data/copyright ${quiltana_changelog} DESTINATION ${quiltana_docdir})
# Where lintian's report is wrong for this package, and why (the comments in the file).
install(FILES ${CMAKE_SOURCE_DIR}/data/quiltana.lintian-overrides
        DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides RENAME ${CPACK_PACKAGE_NAME})

include(CPack)
