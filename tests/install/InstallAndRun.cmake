# Installs BUILD_DIR into PREFIX (emptied first), checks that every path in EXPECTED (|
# separated, relative to PREFIX unless absolute) exists, then runs the installed
# `tarvex-cli --simulate read` against the installed virtual gyro and requires success.
foreach(var BUILD_DIR PREFIX BINDIR EXPECTED)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} not given")
    endif()
endforeach()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${rc}):\n${out}\n${err}")
endif()

string(REPLACE "|" ";" expected "${EXPECTED}")
foreach(path IN LISTS expected)
    if(NOT IS_ABSOLUTE "${path}")
        set(path "${PREFIX}/${path}")
    endif()
    if(NOT EXISTS "${path}")
        message(FATAL_ERROR "not installed: ${path}\ninstalled:\n${out}")
    endif()
endforeach()

# The installed program must not reach the build tree: no driver path from outside, and
# the simulated gyro in memory with no line delays.
execute_process(
    COMMAND "${CMAKE_COMMAND}" -E env --unset=TARVEX_D2XX --unset=TARVEX_VGYRO_FAULTS
            TARVEX_VGYRO_FAST=1
            TARVEX_VGYRO_STATE=none
            "${PREFIX}/${BINDIR}/tarvex-cli" --simulate read
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "installed tarvex-cli --simulate read failed (${rc}):\n${out}\n${err}")
endif()
if(out STREQUAL "")
    message(FATAL_ERROR "installed tarvex-cli --simulate read printed nothing")
endif()
message(STATUS "installed tarvex-cli --simulate read:\n${out}")
file(REMOVE_RECURSE "${PREFIX}")
