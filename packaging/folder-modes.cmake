# Run by CPack between staging the install and archiving it. CPack makes the staged folders
# under the packager's umask, whatever CPACK_INSTALL_DEFAULT_DIRECTORY_PERMISSIONS says, so a
# private umask (077) would ship folders such as /usr/share/metainfo that only root can read.
# Every folder in the package gets 0755.
file(GLOB_RECURSE staged LIST_DIRECTORIES true "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*")
foreach(path IN LISTS staged)
    if(IS_DIRECTORY "${path}" AND NOT IS_SYMLINK "${path}")
        file(CHMOD "${path}" PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ
             GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
    endif()
endforeach()
