# The Windows installer and the portable .zip, from the Windows build (included last, once
# every folder's targets exist): tarvex.exe, tarvex-cli.exe when the build has it,
# tarvex-vgyro.dll and the licence, stripped of their debugging information.
#   Tarvex-<version>-x64.msi   wixl (msitools); installs into C:\Program Files\Tarvex
#   Tarvex-<version>-x64.zip   the same files in a folder Tarvex-<version>
find_program(TARVEX_WIXL wixl REQUIRED)
if(NOT CMAKE_STRIP)
    message(FATAL_ERROR "The Windows packages need the toolchain's strip")
endif()

set(programs tarvex tarvex-vgyro)
if(TARGET tarvex-cli)
    list(APPEND programs tarvex-cli)
    set(TARVEX_CLI_COMPONENT
"          <Component Id=\"TarvexCli\" Guid=\"7E561378-910C-4C85-B0A6-DF2B30D13461\" Win64=\"yes\">
            <File Id=\"tarvex_cli.exe\" Name=\"tarvex-cli.exe\" Source=\"files/tarvex-cli.exe\"
                  KeyPath=\"yes\"/>
          </Component>")
    set(TARVEX_CLI_COMPONENT_REF "      <ComponentRef Id=\"TarvexCli\"/>")
else()
    set(TARVEX_CLI_COMPONENT "")
    set(TARVEX_CLI_COMPONENT_REF "")
endif()

# The installer replaces any Tarvex below the next patch version (resources/windows/tarvex.wxs.in).
math(EXPR next_patch "${PROJECT_VERSION_PATCH} + 1")
set(next_version ${PROJECT_VERSION_MAJOR}.${PROJECT_VERSION_MINOR}.${next_patch})

set(work ${CMAKE_BINARY_DIR}/installer)
set(folder Tarvex-${PROJECT_VERSION})
set(files ${work}/files)
set(msi ${CMAKE_BINARY_DIR}/Tarvex-${PROJECT_VERSION}-x64.msi)
set(zip ${CMAKE_BINARY_DIR}/Tarvex-${PROJECT_VERSION}-x64.zip)
configure_file(${PROJECT_SOURCE_DIR}/resources/windows/tarvex.wxs.in ${work}/tarvex.wxs @ONLY)

# The files as installed, in installer/files.
set(stage_commands COMMAND ${CMAKE_COMMAND} -E rm -rf ${files}
                   COMMAND ${CMAKE_COMMAND} -E make_directory ${files})
foreach(program ${programs})
    list(APPEND stage_commands
         COMMAND ${CMAKE_STRIP} --strip-all -o ${files}/$<TARGET_FILE_NAME:${program}>
                 $<TARGET_FILE:${program}>)
endforeach()
add_custom_command(
    OUTPUT ${work}/files.stamp
    ${stage_commands}
    COMMAND ${CMAKE_COMMAND} -E copy ${PROJECT_SOURCE_DIR}/LICENSE ${files}/LICENSE.txt
    COMMAND ${CMAKE_COMMAND} -E copy ${CMAKE_BINARY_DIR}/resources/windows/tarvex.ico
            ${work}/tarvex.ico
    COMMAND ${CMAKE_COMMAND} -E touch ${work}/files.stamp
    DEPENDS ${programs} tarvex_win_generated ${PROJECT_SOURCE_DIR}/LICENSE
    COMMENT "Windows packages: the files"
    VERBATIM)

add_custom_command(
    OUTPUT ${msi}
    COMMAND ${TARVEX_WIXL} -a x64 -D TarvexVersion=${PROJECT_VERSION}
            -D TarvexNextVersion=${next_version} -o ${msi} tarvex.wxs
    WORKING_DIRECTORY ${work}
    DEPENDS ${work}/tarvex.wxs ${work}/files.stamp
    COMMENT "Tarvex-${PROJECT_VERSION}-x64.msi"
    VERBATIM)

add_custom_command(
    OUTPUT ${zip}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${work}/zip ${zip}
    COMMAND ${CMAKE_COMMAND} -E copy_directory ${files} ${work}/zip/${folder}
    COMMAND ${CMAKE_COMMAND} -E chdir ${work}/zip ${CMAKE_COMMAND} -E tar cf ${zip} --format=zip
            ${folder}
    DEPENDS ${work}/files.stamp
    COMMENT "Tarvex-${PROJECT_VERSION}-x64.zip"
    VERBATIM)

add_custom_target(tarvex_packages ALL DEPENDS ${msi} ${zip})
