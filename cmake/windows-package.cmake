# Makes the Windows package: a folder with each desktop program in a folder
# of its own (its tool folder, holding languages/ with the program's
# language files), lumeno.exe and a readme (UTF-8 with a byte-order mark and
# CR LF line ends, for Notepad), and a zip of it. Run by the
# `windows_package` target:
#   cmake -DPACKAGE_DIR=... -DZIP=... -DREADME=... -DVERSION=... -DPROGRAMS="Vocar.exe;..."
#         -DFILES="lumeno.exe" -DLANGUAGES=resources/languages -P windows-package.cmake
file(REMOVE_RECURSE "${PACKAGE_DIR}")
file(MAKE_DIRECTORY "${PACKAGE_DIR}")
set(names)
foreach(f ${PROGRAMS})
  get_filename_component(program "${f}" NAME_WE)
  file(COPY "${f}" DESTINATION "${PACKAGE_DIR}/${program}")
  file(GLOB languages "${LANGUAGES}/${program}/*.lng")
  if(NOT languages)
    message(FATAL_ERROR "no language files for ${program} in ${LANGUAGES}/${program}")
  endif()
  file(COPY ${languages} DESTINATION "${PACKAGE_DIR}/${program}/languages")
  get_filename_component(name "${f}" NAME)
  list(APPEND names "${program}\\${name}")
endforeach()
foreach(f ${FILES})
  file(COPY "${f}" DESTINATION "${PACKAGE_DIR}")
  get_filename_component(name "${f}" NAME)
  list(APPEND names ${name})
endforeach()
list(JOIN names ", " LUMENO_PROGRAMS)
set(LUMENO_VERSION "${VERSION}")
file(READ "${README}" text)
string(CONFIGURE "${text}" text @ONLY)
string(REPLACE "\r\n" "\n" text "${text}")
string(REPLACE "\n" "\r\n" text "${text}")
string(ASCII 239 187 191 bom)
file(WRITE "${PACKAGE_DIR}/readme.txt" "${bom}${text}")
get_filename_component(package_parent "${PACKAGE_DIR}" DIRECTORY)
get_filename_component(package_name "${PACKAGE_DIR}" NAME)
file(REMOVE "${ZIP}")
execute_process(COMMAND "${CMAKE_COMMAND}" -E tar cf "${ZIP}" --format=zip "${package_name}"
                WORKING_DIRECTORY "${package_parent}" RESULT_VARIABLE failed)
if(failed)
  message(FATAL_ERROR "the zip could not be made")
endif()
