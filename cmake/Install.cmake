# Installation: the two shared libraries with their headers, a CMake package
# (find_package(DrelmTessaryLib)) and a pkg-config file; the program, its
# tools and the plot launcher; the examples.
include(CMakePackageConfigHelpers)

set_target_properties(DrelmTessaryLib PROPERTIES PUBLIC_HEADER ${PROJECT_SOURCE_DIR}/DrelmTessaryLib/include/DrelmTessaryLib.h)
set_target_properties(DrelmComm PROPERTIES PUBLIC_HEADER
  "${PROJECT_SOURCE_DIR}/DrelmComm/include/DrelmComm.h;${PROJECT_SOURCE_DIR}/DrelmComm/include/DrelmEmulator.h")
target_include_directories(DrelmTessaryLib INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)
target_include_directories(DrelmComm INTERFACE $<INSTALL_INTERFACE:${CMAKE_INSTALL_INCLUDEDIR}>)

install(TARGETS DrelmTessaryLib DrelmComm EXPORT DrelmTessaryTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
  PUBLIC_HEADER DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
# The device library finds the communication library beside it, whatever
# the libdir; the communication library needs nothing of ours.
set_target_properties(DrelmTessaryLib PROPERTIES INSTALL_RPATH "$ORIGIN")
set_target_properties(DrelmComm PROPERTIES INSTALL_RPATH "")

if(TESSARY_BUILD_PROGRAM)
  install(TARGETS Tessary_DAQ tessary_replay tessary_tables RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  install(PROGRAMS ${PROJECT_SOURCE_DIR}/tools/pgnuplot DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY ${PROJECT_SOURCE_DIR}/examples/ DESTINATION ${CMAKE_INSTALL_DATADIR}/tessary/examples)

install(EXPORT DrelmTessaryTargets NAMESPACE Drelm:: DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/DrelmTessaryLib)

file(WRITE ${CMAKE_CURRENT_BINARY_DIR}/DrelmTessaryLibConfig.cmake.in
"@PACKAGE_INIT@\ninclude(\${CMAKE_CURRENT_LIST_DIR}/DrelmTessaryTargets.cmake)\n")
configure_package_config_file(${CMAKE_CURRENT_BINARY_DIR}/DrelmTessaryLibConfig.cmake.in
  ${CMAKE_CURRENT_BINARY_DIR}/DrelmTessaryLibConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/DrelmTessaryLib)
write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/DrelmTessaryLibConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/DrelmTessaryLibConfig.cmake
              ${CMAKE_CURRENT_BINARY_DIR}/DrelmTessaryLibConfigVersion.cmake
  DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/DrelmTessaryLib)

# The pkg-config file finds the prefix from where it lies, so that an
# install with --prefix elsewhere than the configured one is right too.
file(RELATIVE_PATH tessary_pc_to_prefix ${CMAKE_INSTALL_FULL_LIBDIR}/pkgconfig ${CMAKE_INSTALL_PREFIX})
string(REGEX REPLACE "/$" "" tessary_pc_to_prefix "${tessary_pc_to_prefix}")
configure_file(${PROJECT_SOURCE_DIR}/cmake/DrelmTessaryLib.pc.in ${CMAKE_CURRENT_BINARY_DIR}/DrelmTessaryLib.pc @ONLY)
install(FILES ${CMAKE_CURRENT_BINARY_DIR}/DrelmTessaryLib.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
