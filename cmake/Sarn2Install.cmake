# What `cmake --install` lays out, and so what the packages hold.
#
# Linux (prefix /usr/local by default, /usr in the .deb):
#   lib/vst/sarn2.so                  the plug-in, where hosts scan
#   bin/sarn2                         the tool (tools/sarn2 adds it)
#   share/man/man1/sarn2.1            its manual page (tools/sarn2 adds it)
#   share/sarn2/roms/<NAME>.BIN       the demo ROM set, the system-wide fallback
#   share/doc/sarn2/README.md
# Windows bundle (one ZIP per target):
#   sarn2.dll, roms\<NAME>.BIN, README-Windows.txt, install-roms.cmd
#
# Further front ends (the LV2 bundle under lib/lv2/) add their own install
# rules beside these; the packages pick up everything installed.
if(WIN32)
  install(TARGETS sarn2 LIBRARY DESTINATION . RUNTIME DESTINATION .)
  install(FILES ${SARN2_DEMO_ROM_FILES} DESTINATION roms)
  # Windows tools expect CRLF line ends in text files and batch scripts.
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/README-Windows.txt.in
                 ${CMAKE_BINARY_DIR}/packaging/README-Windows.txt @ONLY NEWLINE_STYLE CRLF)
  configure_file(${CMAKE_SOURCE_DIR}/packaging/windows/install-roms.cmd
                 ${CMAKE_BINARY_DIR}/packaging/install-roms.cmd @ONLY NEWLINE_STYLE CRLF)
  install(FILES ${CMAKE_BINARY_DIR}/packaging/README-Windows.txt ${CMAKE_BINARY_DIR}/packaging/install-roms.cmd
          DESTINATION .)
else()
  install(TARGETS sarn2 LIBRARY DESTINATION lib/vst)
  install(CODE "set(SARN2_DEMO_ROM_DIR \"${SARN2_DEMO_ROM_DIR}\")
set(SARN2_ROM_NAMES \"${SARN2_ROM_NAMES}\")
set(SARN2_ROM_DESTINATION share/sarn2/roms)")
  install(SCRIPT ${CMAKE_SOURCE_DIR}/cmake/install-demo-roms.cmake)
  install(FILES ${CMAKE_SOURCE_DIR}/README.md DESTINATION share/doc/sarn2)
endif()
