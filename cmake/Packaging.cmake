# The Debian package of the program, made by `cpack -G DEB` in a build folder
# (scripts/package.sh). It holds what `cmake --install` installs, under /usr: the program, its
# desktop entry, its icon and its AppStream metadata.

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quiltana)
set(CPACK_PACKAGE_VENDOR "Quiltana")
# Whoever builds a package for others names themselves here; the default address is no
# mailbox (.invalid), so that no one writes to a made-up one.
set(QUILTANA_PACKAGE_MAINTAINER "Quiltana maintainers <maintainers@quiltana.invalid>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_PACKAGE_CONTACT "${QUILTANA_PACKAGE_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "print many photographs on one sheet of paper")
set(CPACK_PACKAGE_DESCRIPTION
    "Quiltana prints many photographs on one sheet of paper. Pick a grid, from one picture per \
sheet up to five columns by ten rows, fill its cells with JPEG, BMP or PNG pictures by dropping \
files or whole folders onto the window, and print the current page, every page or a list of \
pages. Its user interface is in Japanese.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)

set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT) # quiltana_<version>_<architecture>.deb
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries the program links come from dpkg-shlibdeps; the fonts are not linked but the
# interface and the captions are Japanese, which shows as boxes without a Japanese face.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-ipafont-gothic | fonts-noto-cjk")
set(CPACK_SOURCE_GENERATOR "")

include(CPack)
