# Installs the libraries, their public headers and the CMake packages Fendral and Drakmere,
# so that a host or an outside library can find_package() them and link.
include(CMakePackageConfigHelpers)

install(TARGETS Platform Fendral EXPORT FendralTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(TARGETS Drakmere EXPORT DrakmereTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

fendral_install_headers(platform fendral)
fendral_install_headers(geometry fendral)
fendral_install_headers(curves fendral)
install(FILES ${PROJECT_SOURCE_DIR}/include/Fendral.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/fendral)
fendral_install_headers(kernel drakmere)
install(FILES ${PROJECT_SOURCE_DIR}/include/Drakmere.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/drakmere)

set(_cfgdir ${CMAKE_INSTALL_LIBDIR}/cmake)
foreach(pkg Fendral Drakmere)
  install(EXPORT ${pkg}Targets NAMESPACE ${pkg}:: DESTINATION ${_cfgdir}/${pkg})
  configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/${pkg}Config.cmake.in
    ${CMAKE_CURRENT_BINARY_DIR}/${pkg}Config.cmake INSTALL_DESTINATION ${_cfgdir}/${pkg})
  write_basic_package_version_file(${CMAKE_CURRENT_BINARY_DIR}/${pkg}ConfigVersion.cmake
    VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
  install(FILES ${CMAKE_CURRENT_BINARY_DIR}/${pkg}Config.cmake
                ${CMAKE_CURRENT_BINARY_DIR}/${pkg}ConfigVersion.cmake
          DESTINATION ${_cfgdir}/${pkg})
endforeach()
