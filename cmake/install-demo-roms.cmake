# Install step for the demo ROM set on Linux (run by `cmake --install` and by
# CPack). SARN2_DEMO_ROM_DIR, SARN2_ROM_NAMES and SARN2_ROM_DESTINATION are set
# by the install rule. A directory that already holds ROM files of its own
# (a user's dumps put there with `sarn2 install-roms --system`) is left
# exactly as it is: the demo set is not mixed into it file by file.
set(rom_target "$ENV{DESTDIR}${CMAKE_INSTALL_PREFIX}/${SARN2_ROM_DESTINATION}")
set(own_files "")
foreach(name IN LISTS SARN2_ROM_NAMES)
  if(EXISTS "${rom_target}/${name}.BIN")
    file(SHA256 "${rom_target}/${name}.BIN" existing)
    file(SHA256 "${SARN2_DEMO_ROM_DIR}/${name}.BIN" demo)
    if(NOT existing STREQUAL demo)
      list(APPEND own_files "${name}.BIN")
    endif()
  endif()
endforeach()
if(own_files)
  list(JOIN own_files ", " own_list)
  message(STATUS "Keeping the ROM set in ${rom_target} (${own_list} differ from the demo set); "
                 "the demo set is not installed there")
  return()
endif()
set(demo_files ${SARN2_ROM_NAMES})
list(TRANSFORM demo_files PREPEND "${SARN2_DEMO_ROM_DIR}/")
list(TRANSFORM demo_files APPEND ".BIN")
file(INSTALL DESTINATION "${CMAKE_INSTALL_PREFIX}/${SARN2_ROM_DESTINATION}" TYPE FILE
     PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ FILES ${demo_files})
