# The demo configuration run by Tessary_DAQ.exe under wine against the
# emulated demo boards, its key through a pipe: started by the key, ended
# by a real-time preset. Then its files are checked by tessary_replay.exe.
# Arguments: PROGRAM, REPLAY, SOURCE, WORK, WINE; with SHIPPED set, the
# examples beside PROGRAM are run as they stand, from PROGRAM's folder, as
# a user of the archive runs them (outputs in the per-user folder).
get_filename_component(bin ${PROGRAM} DIRECTORY)
if(SHIPPED)
  set(config examples\\Tessary_Config.txt)
  set(examples ${bin}/examples)
else()
  file(REMOVE_RECURSE ${WORK})
  file(MAKE_DIRECTORY ${WORK})
  # wine shows the Linux root as drive Z:.
  file(READ ${SOURCE}/examples/Tessary_Config.txt text)
  string(REGEX REPLACE "\nOUTFILE_PATH [^\n]*" "\nOUTFILE_PATH Z:${WORK}/out/" text "${text}")
  string(REGEX REPLACE "\nGNUPLOT_PATH [^\n]*" "\nGNUPLOT_PATH Z:${bin}/" text "${text}")
  string(REGEX REPLACE "\nPERIODIC_PLOT [^\n]*" "\nPERIODIC_PLOT NO" text "${text}")
  file(WRITE ${WORK}/config.txt "${text}")
  set(config Z:${WORK}/config.txt)
  set(examples ${SOURCE}/examples)
endif()
set(ENV{DRELM_EMULATOR_SETTINGS} "Z:${examples}/emulator/demo_boards.txt")

execute_process(COMMAND ${CMAKE_COMMAND} -E echo_append s
  COMMAND ${WINE} ${PROGRAM} --preset-real 3 ${config}
  WORKING_DIRECTORY ${bin} OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status TIMEOUT 120)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "Tessary_DAQ.exe ended with ${status}\n${out}\n${err}")
endif()
foreach(expected "Acquisition started" "OCR(incl. SAT)" "Run summary: " "ended by preset")
  string(FIND "${out}" "${expected}" at)
  if(at LESS 0)
    message(FATAL_ERROR "no \"${expected}\" in the program's output:\n${out}")
  endif()
endforeach()
string(REGEX MATCH "Run summary file: ([^\r\n]*)" found "${out}")
set(summary ${CMAKE_MATCH_1})
if(NOT SHIPPED)
  foreach(file demo_raw_b0_seg0.bin demo_list_b0_seg0.txt demo_raw_b1_seg0.bin demo_list_b1_seg0.txt)
    if(NOT EXISTS ${WORK}/out/${file})
      message(FATAL_ERROR "no ${file} written:\n${out}")
    endif()
    file(SIZE ${WORK}/out/${file} size)
    if(size EQUAL 0)
      message(FATAL_ERROR "${file} is empty")
    endif()
  endforeach()
endif()

# Every file the summary names is there, whole; the demo writes raw, list
# and histogram files for both boards.
execute_process(COMMAND ${WINE} ${REPLAY} --verify ${summary}
  OUTPUT_VARIABLE verified ERROR_VARIABLE err RESULT_VARIABLE status TIMEOUT 120)
string(FIND "${verified}" " OK, 0 mismatched, 0 missing, 0 unreadable" whole)
foreach(kind raw_b0_seg0.bin list_b0_seg0.txt raw_b1_seg0.bin list_b1_seg0.txt)
  string(FIND "${verified}" "OK       demo_${kind}" listed)
  if(listed LESS 0)
    set(whole -1)
  endif()
endforeach()
if(NOT status EQUAL 0 OR whole LESS 0)
  message(FATAL_ERROR "tessary_replay.exe --verify ${summary} ended with ${status}:\n${verified}\n${err}")
endif()
