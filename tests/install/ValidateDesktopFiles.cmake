# Installs BUILD_DIR into PREFIX (emptied first) and runs the desktop's own validators on
# what was installed: desktop-file-validate on the desktop file, update-mime-database on
# the MIME package (into a scratch folder), appstreamcli validate --pedantic on the
# metainfo. Each must accept its file without a word, and the three must name the same
# settings-file type. A missing validator fails the test, naming its package.
foreach(var BUILD_DIR PREFIX DATADIR)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "${var} not given")
    endif()
endforeach()

function(require_tool name package result)
    find_program(${result} ${name})
    if(NOT ${result})
        message(FATAL_ERROR "${name} is not installed: install ${package} (scripts/setup.sh)")
    endif()
endfunction()
require_tool(desktop-file-validate desktop-file-utils desktop_file_validate)
require_tool(update-mime-database shared-mime-info update_mime_database)
require_tool(appstreamcli appstream appstreamcli)

# Runs a validator; it must succeed and print nothing but an allowed success line.
function(validate what allowed)
    execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err
                    TIMEOUT 120)
    string(STRIP "${out}${err}" said)
    if(NOT rc EQUAL 0 OR NOT (said STREQUAL "" OR said STREQUAL allowed))
        message(FATAL_ERROR "${what} (${rc}):\n${said}")
    endif()
endfunction()

file(REMOVE_RECURSE "${PREFIX}")
execute_process(COMMAND "${CMAKE_COMMAND}" --install "${BUILD_DIR}" --prefix "${PREFIX}"
                RESULT_VARIABLE rc OUTPUT_QUIET ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "cmake --install failed (${rc}):\n${err}")
endif()
set(share "${PREFIX}/${DATADIR}")
set(desktop "${share}/applications/tarvex.desktop")
set(mime "${share}/mime/packages/tarvex.xml")
set(metainfo "${share}/metainfo/io.tarvex.tarvex.metainfo.xml")
foreach(path desktop mime metainfo)
    if(NOT EXISTS "${${path}}")
        message(FATAL_ERROR "not installed: ${${path}}")
    endif()
endforeach()

validate("desktop-file-validate ${desktop}" "" ${desktop_file_validate} "${desktop}")

# The MIME database from this package alone, in a folder on the data path so that the tool
# has nothing to warn about but the package itself.
set(scratch "${PREFIX}/mime-scratch")
file(MAKE_DIRECTORY "${scratch}/mime/packages")
file(COPY "${mime}" DESTINATION "${scratch}/mime/packages")
validate("update-mime-database" ""
         ${CMAKE_COMMAND} -E env XDG_DATA_HOME=${scratch} XDG_DATA_DIRS=${scratch}
         ${update_mime_database} "${scratch}/mime")
file(STRINGS "${scratch}/mime/globs2" globs REGEX "tcf")
if(NOT globs MATCHES "application/x-tarvex-settings:\\*\\.tcf")
    message(FATAL_ERROR "update-mime-database made no *.tcf glob: ${globs}")
endif()

# --no-net: the screenshots and the homepage are on the web, and the test must not depend
# on reaching it.
validate("appstreamcli validate --pedantic ${metainfo}" "✔ Validation was successful."
         ${appstreamcli} validate --pedantic --no-net "${metainfo}")

# One type, named alike by all three.
file(READ "${desktop}" desktop_text)
file(READ "${metainfo}" metainfo_text)
if(NOT desktop_text MATCHES "\nMimeType=application/x-tarvex-settings;"
   OR NOT desktop_text MATCHES "\nExec=tarvex %f\n"
   OR NOT metainfo_text MATCHES "<mediatype>application/x-tarvex-settings</mediatype>")
    message(FATAL_ERROR "the desktop file and the metainfo do not both offer "
                        "application/x-tarvex-settings files to tarvex")
endif()
file(REMOVE_RECURSE "${PREFIX}")
