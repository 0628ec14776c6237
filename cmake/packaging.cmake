# Debian packages, made from the build folder with `cpack -G DEB`:
#   zenpatch          the two programs, the template database, the manual and man pages, the desktop
#                     integration (desktop entry, MIME types, icons, AppStream metadata), completion;
#   libxcoder32-3     the shared library libxcoder32.so.3;
#   libxcoder32-dev   its headers, link name, xcoder32.pc and CMake package.
# Versions come from the project, dependencies on system libraries from dpkg-shlibdeps.
set(ZENPATCH_PACKAGE_MAINTAINER "Zenpatch Developers <packages@zenpatch.org>"
    CACHE STRING "The Maintainer field of the Debian packages")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME zenpatch)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Zenpatch)
set(CPACK_PACKAGE_HOMEPAGE_URL https://zenpatch.org)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
# Without their debugging information, as Debian ships programs.
set(CPACK_STRIP_FILES ON)
set(CPACK_COMPONENTS_ALL program library development)

set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ZENPATCH_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# The programs link libxcoder32.so.3 of the library package, which dpkg-shlibdeps cannot look up
# in the installed system: it finds the library in the build and the dependency comes from the
# components below.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${CMAKE_BINARY_DIR}/bin)
set(CPACK_DEBIAN_ENABLE_COMPONENT_DEPENDS ON)
# The library package tells dpkg-shlibdeps of other packages which package provides it.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS_POLICY ">=")

set(CPACK_DEBIAN_PROGRAM_PACKAGE_NAME zenpatch)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_SECTION utils)
set(CPACK_COMPONENT_PROGRAM_DEPENDS library)
# Loaded at run time, so dpkg-shlibdeps cannot see them: the platform plugins, without which the
# window cannot open (Qt's own package only recommends them), and xdg-open for the manual and folders.
set(CPACK_DEBIAN_PROGRAM_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PROGRAM_PACKAGE_RECOMMENDS xdg-utils)
set(CPACK_DEBIAN_PROGRAM_DESCRIPTION "hack manager for bulletin-board administrators
Zenpatch keeps a catalogue of hacks for Ultimate Bulletin Board and vBulletin
installations: add-ons written as changes to the board's script and template
files, plus whole support files, in one encrypted database.
.
It installs a hack into a copy of the board's files with a log of every step,
analyses whether a hack still fits the current files, exports and imports a
hack as one compressed hack file (.zpx, .zpp) and writes a hack as plain
installation instructions.
.
This package holds the desktop program zenpatch and the command-line program
zenpatch-cli.")

set(CPACK_DEBIAN_LIBRARY_PACKAGE_NAME libxcoder32-3)
set(CPACK_DEBIAN_LIBRARY_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_LIBRARY_DESCRIPTION "file encoding library of Zenpatch
xcoder32 encodes and decodes files as base64, uuencode and quoted-printable,
and compresses and expands them as zlib streams, with progress reports and
temporary output files.
.
This package holds the shared library.")

set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_NAME libxcoder32-dev)
set(CPACK_DEBIAN_DEVELOPMENT_PACKAGE_SECTION libdevel)
set(CPACK_COMPONENT_DEVELOPMENT_DEPENDS library)
set(CPACK_DEBIAN_DEVELOPMENT_DESCRIPTION "file encoding library of Zenpatch - development files
xcoder32 encodes and decodes files as base64, uuencode and quoted-printable,
and compresses and expands them as zlib streams, with progress reports and
temporary output files.
.
This package holds the C and C++ headers, the pkg-config file xcoder32.pc
and the CMake package (find_package(xcoder32), target xcoder32::xcoder32).")

include(CPack)
