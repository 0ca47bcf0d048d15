# Run by CPack on its staging folder before packing: gzip every manual page,
# without a time stamp so that the package is the same from run to run.
file(GLOB_RECURSE pages "${CPACK_TEMPORARY_INSTALL_DIRECTORY}/*/share/man/man*/*.[1-9]")
foreach(page IN LISTS pages)
    execute_process(COMMAND gzip -9nf "${page}" RESULT_VARIABLE failed)
    if(failed)
        message(FATAL_ERROR "cannot compress ${page}")
    endif()
endforeach()
