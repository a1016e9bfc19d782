# expat, the streaming XML parser of the .xlsx workbooks Vocar reads back:
# Debian's libexpat1-dev here; for Windows the static build that
# scripts/windows-reading.sh makes from Debian's source package. Gives the
# target lumeno::expat.
if(TARGET lumeno::expat)
  return()
endif()
find_path(LUMENO_EXPAT_INCLUDE_DIR expat.h)
if(WIN32)
  find_library(LUMENO_EXPAT_LIBRARY NAMES libexpat.a)
else()
  find_library(LUMENO_EXPAT_LIBRARY NAMES expat)
endif()
if(NOT LUMENO_EXPAT_INCLUDE_DIR OR NOT LUMENO_EXPAT_LIBRARY)
  if(WIN32)
    message(FATAL_ERROR "expat for Windows is missing: run scripts/windows-deps.sh")
  else()
    message(FATAL_ERROR "expat is missing: install libexpat1-dev (scripts/linux-deps.sh does)")
  endif()
endif()
add_library(lumeno_expat INTERFACE)
target_include_directories(lumeno_expat SYSTEM INTERFACE ${LUMENO_EXPAT_INCLUDE_DIR})
target_link_libraries(lumeno_expat INTERFACE ${LUMENO_EXPAT_LIBRARY})
if(WIN32)
  # The static library: its functions are no DLL's imports.
  target_compile_definitions(lumeno_expat INTERFACE XML_STATIC)
endif()
add_library(lumeno::expat ALIAS lumeno_expat)
