# Builds the .deb from BUILD_DIR with CPack into OUT_DIR and runs lintian on it: lintian must
# report no error and no warning. Without lintian the test fails saying so.
foreach(var BUILD_DIR OUT_DIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} not given")
    endif()
endforeach()
find_program(lintian lintian)
if(NOT lintian)
    message(FATAL_ERROR "lintian is not installed: install lintian (scripts/setup.sh)")
endif()
get_filename_component(cmake_bin "${CMAKE_COMMAND}" DIRECTORY)
find_program(cpack cpack HINTS "${cmake_bin}" REQUIRED)

file(REMOVE_RECURSE "${OUT_DIR}")
execute_process(COMMAND "${cpack}" -G DEB --config "${BUILD_DIR}/CPackConfig.cmake"
                        -B "${OUT_DIR}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 300)
file(GLOB debs "${OUT_DIR}/*.deb")
list(LENGTH debs count)
if(NOT rc EQUAL 0 OR NOT count EQUAL 1)
    message(FATAL_ERROR "cpack made no .deb (${rc}):\n${out}\n${err}")
endif()

execute_process(COMMAND "${lintian}" --fail-on error,warning ${debs}
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 300)
if(NOT rc EQUAL 0 OR out MATCHES "(^|\n)[EW]: ")
    message(FATAL_ERROR "lintian ${debs} (${rc}):\n${out}\n${err}")
endif()
message(STATUS "lintian accepts ${debs}")
file(REMOVE_RECURSE "${OUT_DIR}")
