# Reads fuzz/targets.txt: BRANTOR_FUZZ_TARGETS lists the target names, and <name>_SOURCE holds
# each one's source file (in fuzz/).
file(STRINGS ${CMAKE_SOURCE_DIR}/fuzz/targets.txt brantor_fuzz_lines REGEX "^fuzz_")
set(BRANTOR_FUZZ_TARGETS)
foreach(line IN LISTS brantor_fuzz_lines)
  string(REGEX REPLACE "[ \t]+" ";" fields "${line}")
  list(GET fields 0 name)
  list(GET fields 1 source)
  list(APPEND BRANTOR_FUZZ_TARGETS ${name})
  set(${name}_SOURCE ${source})
endforeach()
set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/fuzz/targets.txt)
