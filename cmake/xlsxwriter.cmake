# libxlsxwriter, which writes Vocar's workbooks: Debian's libxlsxwriter-dev
# here; for Windows the static build that scripts/windows-deps.sh makes from
# Debian's source package (with its own minizip), over libz-mingw-w64-dev.
# Gives the target lumeno::xlsxwriter.
if(TARGET lumeno::xlsxwriter)
  return()
endif()
find_path(LUMENO_XLSXWRITER_INCLUDE_DIR xlsxwriter.h)
if(WIN32)
  # Static libraries only: the programs need no DLL beyond the system's.
  find_library(LUMENO_XLSXWRITER_LIBRARY NAMES libxlsxwriter.a)
  find_library(LUMENO_ZLIB_LIBRARY NAMES libz.a)
else()
  find_library(LUMENO_XLSXWRITER_LIBRARY NAMES xlsxwriter)
  find_library(LUMENO_ZLIB_LIBRARY NAMES z)
endif()
if(NOT LUMENO_XLSXWRITER_INCLUDE_DIR OR NOT LUMENO_XLSXWRITER_LIBRARY OR NOT LUMENO_ZLIB_LIBRARY)
  if(WIN32)
    message(FATAL_ERROR "libxlsxwriter for Windows is missing: run scripts/windows-deps.sh")
  else()
    message(FATAL_ERROR "libxlsxwriter is missing: install libxlsxwriter-dev (scripts/linux-deps.sh does)")
  endif()
endif()
add_library(lumeno_xlsxwriter INTERFACE)
target_include_directories(lumeno_xlsxwriter SYSTEM INTERFACE ${LUMENO_XLSXWRITER_INCLUDE_DIR})
target_link_libraries(lumeno_xlsxwriter INTERFACE ${LUMENO_XLSXWRITER_LIBRARY} ${LUMENO_ZLIB_LIBRARY})
add_library(lumeno::xlsxwriter ALIAS lumeno_xlsxwriter)
