# Installation with a package config, so a game can use find_package(QuennelEngine).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

install(TARGETS Core EXPORT QuennelEngineTargets
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR}
        LIBRARY DESTINATION ${CMAKE_INSTALL_BINDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR})
if(TARGET qemeta)
  install(TARGETS qemeta RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
if(TARGET qeimport)
  install(TARGETS qeimport RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
foreach(header ${QE_CORE_HEADERS})
  get_filename_component(dir ${header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/core/${header} DESTINATION include/core/${dir})
endforeach()

qe_find_runtime_dlls(qe_runtime_dlls)
install(FILES ${qe_runtime_dlls} DESTINATION ${CMAKE_INSTALL_BINDIR})

install(EXPORT QuennelEngineTargets NAMESPACE QuennelEngine::
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuennelEngine)
configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/QuennelEngineConfig.cmake.in
  ${PROJECT_BINARY_DIR}/QuennelEngineConfig.cmake
  INSTALL_DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuennelEngine)
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuennelEngineConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuennelEngineConfig.cmake
              ${PROJECT_BINARY_DIR}/QuennelEngineConfigVersion.cmake
        DESTINATION ${CMAKE_INSTALL_LIBDIR}/cmake/QuennelEngine)
