# Compares the dynamic symbols a library defines with an expected list.
find_program(NM nm REQUIRED)
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE out RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REPLACE "\n" ";" lines "${out}")
set(actual "")
foreach(line ${lines})
  # "<address> <type> <name>"; the version node of the script is no symbol.
  if(line MATCHES "^[0-9a-fA-F]+ [A-Za-z] ([^ ]+)$")
    set(name ${CMAKE_MATCH_1})
    if(NOT name MATCHES "^_" AND NOT name MATCHES "@")
      list(APPEND actual ${name})
    endif()
  endif()
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/CompareExports.cmake)
