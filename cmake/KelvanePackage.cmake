# The release package: one folder Kelvane/ with the module, its dialog script
# and its help page, for the user to drop into the host's plugin folder.
# Only the plugin component goes in; the stand-in host and the tests never do.
set(CPACK_PACKAGE_NAME Kelvane)
set(CPACK_PACKAGE_VENDOR Kelvane)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR ZIP)
set(CPACK_ARCHIVE_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL plugin)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_COMPONENT_INCLUDE_TOPLEVEL_DIRECTORY OFF)
set(CPACK_PACKAGING_INSTALL_PREFIX /Kelvane)
set(CPACK_ARCHIVE_FILE_NAME Kelvane-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DIRECTORY ${PROJECT_SOURCE_DIR}/dist)
# Kelvane-<version>-win64.zip.sha256 beside the zip, for sha256sum -c.
set(CPACK_PACKAGE_CHECKSUM SHA256)
include(CPack)
