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

# Every build of a commit gives the same zip, byte for byte. CPack sorts the
# entries. Each entry's three times are SOURCE_DATE_EPOCH, which the archive
# writer reads (taken here from the commit when unset); the zip's DOS times are
# local times, hence UTC. install() fixes the files' permissions; the folders'
# would follow the umask. The entries' owner is the packaging user's, which
# ./kelvane makes root everywhere.
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/KelvanePackageTimes.cmake CONTENT [[
if("$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY "@PROJECT_SOURCE_DIR@"
                  OUTPUT_VARIABLE commit_time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(commit_time MATCHES "^[0-9]+$")
    set(ENV{SOURCE_DATE_EPOCH} ${commit_time})
  else()
    message(WARNING "No commit time (not a git checkout?): the zip's entries carry the files' own times. "
                    "Set SOURCE_DATE_EPOCH for a zip that another build can reproduce.")
  endif()
endif()
set(ENV{TZ} UTC0)
]] @ONLY)
set(CPACK_PROJECT_CONFIG_FILE ${PROJECT_BINARY_DIR}/KelvanePackageTimes.cmake)
file(CONFIGURE OUTPUT ${PROJECT_BINARY_DIR}/KelvanePackageFolders.cmake CONTENT [[
file(CHMOD_RECURSE "${CPACK_TEMPORARY_DIRECTORY}" DIRECTORY_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE
     GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
]] @ONLY)
set(CPACK_PRE_BUILD_SCRIPTS ${PROJECT_BINARY_DIR}/KelvanePackageFolders.cmake)
include(CPack)
