# The Linux packages of `lumeno`, made by CPack from what `cmake --install`
# puts in place (bin/lumeno, share/lumeno/languages/):
#   cpack -G TGZ     lumeno-VERSION-Linux.tar.gz
#   cpack -G DEB     lumeno_VERSION_ARCH.deb (installs under /usr)
# The Windows programs have their own package (the `windows_package` target).
if(WIN32)
  return()
endif()
set(CPACK_PACKAGE_NAME lumeno)
set(CPACK_PACKAGE_VENDOR "Lumeno scenario tools")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Lumeno scenario tools: Shift_JIS visual-novel scenario text for production")
set(CPACK_PACKAGE_CONTACT "Lumeno scenario tools <lumeno@localhost>")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_GENERATOR "TGZ;DEB")
set(CPACK_SOURCE_GENERATOR "")
set(CPACK_PACKAGE_FILE_NAME lumeno-${PROJECT_VERSION}-Linux)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION text)
# The libraries the program links, as dpkg-shlibdeps finds them.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
include(CPack)
