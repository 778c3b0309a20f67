# The Debian package: `cpack -G DEB` in a build configured with CMAKE_INSTALL_PREFIX=/usr
# (scripts/package does it). Its dependencies come from dpkg-shlibdeps; the desktop's own
# triggers register the file type, the menu entry and the icons, so it has no maintainer scripts.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR "The Quillmark developers")
set(CPACK_PACKAGE_CONTACT "The Quillmark developers <support@quillmark.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "personal to-do list manager")
# Lines under 80 characters, as Debian's tools show them.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark keeps one or more to-do list files and shows the open one as a
page with a row per task: its category, deadline and priority, and small
buttons to edit, complete, do again, clone or delete it. Every change is on
disk the moment it is made.
.
qmtd, the command-line tool, works on the same list files.")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE https://quillmark.org)
# Installed directories are rwxr-xr-x whatever the umask of the person packaging.
set(CMAKE_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS
    OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
include(CPack)
