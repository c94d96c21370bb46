# The demo ROM set, written at build time into ${SARN2_DEMO_ROM_DIR} by the
# project's own writer, for the install rules and the packages. A cross build
# cannot run the writer it compiles, so it builds one for the build machine
# first, from the same sources, as a small native project of its own.
set(SARN2_ROM_NAMES DD1 DD2 DD13 DD14 DD16 DD18 DD19 DD27 DD28 Midi_DD2)
set(SARN2_DEMO_ROM_DIR ${CMAKE_BINARY_DIR}/demo-roms)
set(SARN2_DEMO_ROM_FILES ${SARN2_ROM_NAMES})
list(TRANSFORM SARN2_DEMO_ROM_FILES PREPEND ${SARN2_DEMO_ROM_DIR}/)
list(TRANSFORM SARN2_DEMO_ROM_FILES APPEND .BIN)

if(CMAKE_CROSSCOMPILING)
  include(ExternalProject)
  set(writer_dir ${CMAKE_BINARY_DIR}/build-machine-tools)
  set(writer ${writer_dir}/bin/sarn2_write_demo_roms)
  ExternalProject_Add(sarn2_build_machine_writer
    SOURCE_DIR ${CMAKE_SOURCE_DIR}
    BINARY_DIR ${writer_dir}
    CMAKE_ARGS -DCMAKE_BUILD_TYPE=Release -DSARN2_BUILD_TESTS=OFF -DSARN2_BUILD_TOOLS=OFF
    BUILD_COMMAND ${CMAKE_COMMAND} --build <BINARY_DIR> --target sarn2_write_demo_roms
    BUILD_ALWAYS ON
    INSTALL_COMMAND ""
    BUILD_BYPRODUCTS ${writer})
  set(writer_target sarn2_build_machine_writer)
else()
  set(writer $<TARGET_FILE:sarn2_write_demo_roms>)
  set(writer_target sarn2_write_demo_roms)
endif()

add_custom_command(OUTPUT ${SARN2_DEMO_ROM_FILES}
  COMMAND ${CMAKE_COMMAND} -E rm -rf ${SARN2_DEMO_ROM_DIR}
  COMMAND ${writer} ${SARN2_DEMO_ROM_DIR}
  DEPENDS ${writer} ${writer_target}
  COMMENT "Writing the demo ROM set into ${SARN2_DEMO_ROM_DIR}"
  VERBATIM)
add_custom_target(sarn2_demo_roms ALL DEPENDS ${SARN2_DEMO_ROM_FILES})
