# Packages made with CPack from the install rules: `cpack` in a build tree
# makes sarn2_<version>_amd64.deb (native) or sarn2-<version>-win32.zip /
# -win64.zip (the Windows targets). The version is the project's.
set(CPACK_PACKAGE_NAME sarn2)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "ROM-driven eight-voice keyboard instrument (2.4 interface plug-in)")
set(CPACK_STRIP_FILES ON)
if(WIN32)
  set(CPACK_GENERATOR ZIP)
  if(CMAKE_SIZEOF_VOID_P EQUAL 8)
    set(CPACK_PACKAGE_FILE_NAME sarn2-${PROJECT_VERSION}-win64)
  else()
    set(CPACK_PACKAGE_FILE_NAME sarn2-${PROJECT_VERSION}-win32)
  endif()
  # Unpacking gives one folder named like the archive.
  set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
else()
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION sound)
  set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Sarn2 maintainers <maintainers@sarn2.invalid>")
  set(CPACK_DEBIAN_PACKAGE_DESCRIPTION
      "ROM-driven eight-voice keyboard instrument\n Tavrel Sarn2 is a plug-in for hosts of the 2.4 plug-in interface (Ardour,\n Reaper, Bitwig, Carla), installed to /usr/lib/vst, with the sarn2 tool\n (offline renderer, ROM-set inspector, ROM installer) and a demo ROM set\n in /usr/share/sarn2/roms that the instrument plays when the user has no\n ROM set of their own.")
  # Dependencies come from the libraries the tool and the plug-in link.
  set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
endif()
include(CPack)
