# The Windows archive (cmake --build --preset windows --target package):
# TessaryDAQ-<version>-win64.zip with the program, its tools, both DLLs, the
# import library and header for users' own programs, the examples, the plot
# launcher where the demo configuration looks for it, and the notes.
file(STRINGS ${PROJECT_SOURCE_DIR}/Tessary_DAQ/src/acquisition/Program.h version_line
     REGEX "kProgramVersion\\[\\] = \"")
string(REGEX MATCH "[0-9]+\\.[0-9]+\\.[0-9]+" tessary_version "${version_line}")

set_target_properties(DrelmTessaryLib PROPERTIES PUBLIC_HEADER ${PROJECT_SOURCE_DIR}/DrelmTessaryLib/include/DrelmTessaryLib.h)
install(TARGETS DrelmTessaryLib RUNTIME DESTINATION . ARCHIVE DESTINATION lib PUBLIC_HEADER DESTINATION include)
install(TARGETS DrelmComm RUNTIME DESTINATION .)
if(TESSARY_BUILD_PROGRAM)
  install(TARGETS Tessary_DAQ tessary_replay tessary_tables RUNTIME DESTINATION .)
  install(TARGETS pgnuplot RUNTIME DESTINATION tools)
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION examples)
install(FILES ${PROJECT_SOURCE_DIR}/tools/README-Windows.txt DESTINATION .)

set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_NAME TessaryDAQ)
set(CPACK_PACKAGE_VERSION ${tessary_version})
set(CPACK_PACKAGE_FILE_NAME TessaryDAQ-${tessary_version}-win64)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY ON)
include(CPack)
