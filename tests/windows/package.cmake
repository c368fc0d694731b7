# The Windows archive: made with CPack in the build tree, unpacked, its
# files listed as a user expects them, and the demo run from it under wine.
# Arguments: BUILD (the build tree), SOURCE, WORK, WINE, VERSION.
file(REMOVE_RECURSE ${WORK})
file(MAKE_DIRECTORY ${WORK})
execute_process(COMMAND ${CMAKE_CPACK_COMMAND} --config ${BUILD}/CPackConfig.cmake -B ${WORK}
  OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)
set(name TessaryDAQ-${VERSION}-win64)
if(NOT status EQUAL 0 OR NOT EXISTS ${WORK}/${name}.zip)
  message(FATAL_ERROR "no ${name}.zip made (${status}):\n${out}\n${err}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E tar xf ${WORK}/${name}.zip WORKING_DIRECTORY ${WORK} RESULT_VARIABLE status)
set(folder ${WORK}/${name})
foreach(file Tessary_DAQ.exe tessary_replay.exe tessary_tables.exe DrelmTessaryLib.dll DrelmComm.dll
             lib/libDrelmTessaryLib.dll.a include/DrelmTessaryLib.h tools/pgnuplot.exe README-Windows.txt
             examples/Tessary_Config.txt examples/Reference_Config.txt examples/emulator/demo_boards.txt)
  if(NOT EXISTS ${folder}/${file})
    message(FATAL_ERROR "${name}.zip holds no ${file}")
  endif()
endforeach()
file(GLOB tables ${folder}/examples/tables/*)
if(NOT tables)
  message(FATAL_ERROR "${name}.zip holds no table files")
endif()

set(PROGRAM ${folder}/Tessary_DAQ.exe)
set(REPLAY ${folder}/tessary_replay.exe)
set(SHIPPED ON)
include(${CMAKE_CURRENT_LIST_DIR}/demo_run.cmake)
