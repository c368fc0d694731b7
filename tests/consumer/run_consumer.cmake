# Installs the build into a scratch prefix, runs the installed programs
# from there, builds the consumer project against it with find_package and
# with pkg-config, and runs it.
set(prefix ${WORK}/prefix)
file(REMOVE_RECURSE ${WORK})
execute_process(COMMAND ${CMAKE_COMMAND} --install ${BUILD} --prefix ${prefix} --component Unspecified
  RESULT_VARIABLE rc OUTPUT_QUIET)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "install failed")
endif()
# Nothing but their own run path leads the programs to the libraries.
function(run_installed program option)
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=LD_LIBRARY_PATH ${prefix}/bin/${program} ${option}
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT rc EQUAL 0 OR NOT out MATCHES "${program}")
    message(FATAL_ERROR "installed ${program} ${option} failed (${rc}): ${out}")
  endif()
endfunction()
run_installed(Tessary_DAQ --version)
run_installed(tessary_replay --help)
foreach(file bin/tessary_tables bin/pgnuplot share/tessary/examples/Tessary_Config.txt)
  if(NOT EXISTS ${prefix}/${file})
    message(FATAL_ERROR "not installed: ${file}")
  endif()
endforeach()
execute_process(COMMAND ${CMAKE_COMMAND} -S ${SOURCE} -B ${WORK}/build -G Ninja
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_BUILD_RPATH=${prefix}/lib
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "configure with find_package failed:\n${out}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} --build ${WORK}/build RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE out)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "build failed:\n${out}")
endif()
execute_process(COMMAND ${WORK}/build/consumer RESULT_VARIABLE rc OUTPUT_VARIABLE out)
if(NOT rc EQUAL 0 OR NOT out STREQUAL "M310\n")
  message(FATAL_ERROR "consumer failed (${rc}): ${out}")
endif()
file(STRINGS ${prefix}/lib/pkgconfig/DrelmTessaryLib.pc pc REGEX "^Libs:")
if(NOT pc MATCHES "-lDrelmTessaryLib")
  message(FATAL_ERROR "pkg-config file lacks the library: ${pc}")
endif()
