# The Debian package, made by CPack from the install rules (scripts/package; `cpack -G DEB` in any
# build tree). Its version is the project's; its dependencies come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME ferrox)
set(CPACK_PACKAGE_VENDOR "The Ferrox developers")
set(CPACK_PACKAGE_CONTACT "Ferrox developers <developers@ferrox.dev>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "processor stress tester with checked results")
set(CPACK_PACKAGE_HOMEPAGE_URL "https://ferrox.dev/")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# A build with debugging information still packages a stripped program.
set(CPACK_STRIP_FILES ON)

set(FERROX_PACKAGE_MAINTAINER "Ferrox developers <developers@ferrox.dev>"
    CACHE STRING "Maintainer field of the Debian package")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${FERROX_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# ferrox_<version>_<architecture>.deb
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
# The extended description; CPack puts the summary above it and indents it for the control file.
set(CPACK_DEBIAN_PACKAGE_DESCRIPTION "Ferrox keeps every logical processor, or a chosen number of them, busy with
floating-point and vector instruction mixes and checks each result against a
known answer; an error is attributed to the worker and the logical processor
that produced it.

On the desktop it shows the run time and the measured clock in a small window
and a tray icon that turns red after the first error. Without a display
(--headless) it prints status lines and writes a JSON report, for servers and
clusters.")
# Installing a newer version over an older one, and removing it, is dpkg's plain file handling:
# the package has no maintainer scripts and creates no files of its own.

include(CPack)
