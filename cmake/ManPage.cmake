# Writes a program's manual page from its own --help and --version, gzipped as Debian wants
# it (gzip -9n), so the page says what the program says:
#
#   cmake -DPROGRAM=<path> -DNAME=tarvex -DSUMMARY="..." -DDATE="December 2026"
#         [-DSEE_ALSO=tarvex-cli] -DOUTPUT=<dir>/tarvex.1.gz -DGZIP=<gzip> -P ManPage.cmake
#
# The help is read as the programs print it: a "Usage: NAME ..." line, text, and sections
# headed "Something:" at the margin whose items are "  TERM  description" with the
# description's further lines indented deeper. Items become tagged paragraphs, headings
# become sections, anything else stays text.
foreach(var PROGRAM NAME SUMMARY DATE OUTPUT GZIP)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "ManPage.cmake: ${var} not given")
    endif()
endforeach()

function(run_program option result)
    # The help needs no display, no adapter and no translation.
    execute_process(
        COMMAND ${CMAKE_COMMAND} -E env LC_ALL=C.UTF-8 LANGUAGE= ASAN_OPTIONS=detect_leaks=0
                "${PROGRAM}" ${option}
        RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err TIMEOUT 60)
    if(NOT rc EQUAL 0 OR out STREQUAL "")
        message(FATAL_ERROR "${PROGRAM} ${option} failed (${rc}): ${err}")
    endif()
    set(${result} "${out}" PARENT_SCOPE)
endfunction()

# Text as roff reads it: backslashes and minus signs escaped, a leading dot or quote
# protected.
function(roff_escape text result)
    string(REPLACE "\\" "\\e" text "${text}")
    string(REPLACE "-" "\\-" text "${text}")
    string(REGEX REPLACE "^([.'])" "\\\\&\\1" text "${text}")
    set(${result} "${text}" PARENT_SCOPE)
endfunction()

run_program(--help help)
run_program(--version version)
string(STRIP "${version}" version)
string(TOUPPER "${NAME}" title)
roff_escape("${title}" title)
roff_escape("${version}" version)

# One list element per line; semicolons and brackets in the text must not split or join
# them.
string(REPLACE ";" "<semicolon>" help "${help}")
string(REPLACE "[" "<open>" help "${help}")
string(REPLACE "]" "<close>" help "${help}")
string(REPLACE "\n" ";" lines "${help}")

set(page ".TH ${title} 1 \"${DATE}\" \"${version}\" \"User Commands\"\n")
roff_escape("${SUMMARY}" summary)
roff_escape("${NAME}" name)
string(APPEND page ".SH NAME\n${name} \\- ${summary}\n")
set(section "")
foreach(line IN LISTS lines)
    string(REPLACE "<semicolon>" ";" line "${line}")
    string(REPLACE "<open>" "[" line "${line}")
    string(REPLACE "<close>" "]" line "${line}")
    if(line MATCHES "^Usage: [^ ]+ +(.*)$")
        roff_escape("${CMAKE_MATCH_1}" rest)
        string(APPEND page ".SH SYNOPSIS\n.B ${name}\n${rest}\n.SH DESCRIPTION\n")
    elseif(line STREQUAL "")
        string(APPEND page ".PP\n")
    elseif(line MATCHES "^([A-Z][^ ]*( [^ ]+)*):$")
        string(TOUPPER "${CMAKE_MATCH_1}" heading)
        string(APPEND page ".SH ${heading}\n")
    elseif(line MATCHES "^  ([^ ]+( [^ ]+)*)  +([^ ].*)$")
        roff_escape("${CMAKE_MATCH_1}" term)
        roff_escape("${CMAKE_MATCH_3}" text)
        string(APPEND page ".TP\n\\fB${term}\\fR\n${text}\n")
    elseif(line MATCHES "^  ([^ ].*)$")
        roff_escape("${CMAKE_MATCH_1}" term)
        string(APPEND page ".TP\n\\fB${term}\\fR\n")
    else()
        string(STRIP "${line}" line)
        roff_escape("${line}" text)
        string(APPEND page "${text}\n")
    endif()
endforeach()
# A paragraph break directly before a heading adds nothing.
string(REGEX REPLACE "\\.PP\n(\\.SH|\\.PP|$)" "\\1" page "${page}")
string(REGEX REPLACE "\\.PP\n(\\.SH|\\.PP|$)" "\\1" page "${page}")
if(DEFINED SEE_ALSO AND NOT SEE_ALSO STREQUAL "")
    roff_escape("${SEE_ALSO}" other)
    string(APPEND page ".SH SEE ALSO\n.BR ${other} (1)\n")
endif()

get_filename_component(out_dir "${OUTPUT}" DIRECTORY)
string(REGEX REPLACE "\\.gz$" "" plain "${OUTPUT}")
file(WRITE "${plain}" "${page}")
execute_process(COMMAND "${GZIP}" -9nf "${plain}" RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${GZIP} -9n ${plain} failed (${rc})")
endif()
