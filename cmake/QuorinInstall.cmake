# Installation: libraries, headers, tools, the CMake package (Quorin::tamberlo,
# Quorin::tambercin, Quorin::framework), pkg-config files and a Debian package.
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUORIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quorin)

install(TARGETS framework tamberlo tambercin EXPORT QuorinTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
if(QUORIN_BUILD_TOOLS)
  install(TARGETS quorin quorin-palette RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
endif()
install(DIRECTORY framework/include/quorin component/include/quorin
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
install(FILES README.md DESTINATION ${CMAKE_INSTALL_DOCDIR})

install(EXPORT QuorinTargets NAMESPACE Quorin:: DESTINATION ${QUORIN_CMAKE_DIR})
configure_package_config_file(cmake/QuorinConfig.cmake.in ${PROJECT_BINARY_DIR}/QuorinConfig.cmake
  INSTALL_DESTINATION ${QUORIN_CMAKE_DIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuorinConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuorinConfig.cmake ${PROJECT_BINARY_DIR}/QuorinConfigVersion.cmake
  DESTINATION ${QUORIN_CMAKE_DIR})

# pkg-config files find the prefix relative to themselves, so the tree can move.
set(_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH QUORIN_PC_PREFIX_FROM_PCFILEDIR /${_pc_dir} /)
foreach(_pkg tamberlo tambercin)
  if(_pkg STREQUAL "tambercin")
    set(QUORIN_PC_VERSION 1.10)
    set(QUORIN_PC_DESCRIPTION "RC6 cipher component TQuorin, 1.10 feature set")
    set(QUORIN_PC_CFLAGS "-DQUORIN_FEATURES_1_10")
  else()
    set(QUORIN_PC_VERSION 1.11)
    set(QUORIN_PC_DESCRIPTION "RC6 cipher component TQuorin, full feature set")
    set(QUORIN_PC_CFLAGS "")
  endif()
  set(QUORIN_PC_NAME ${_pkg})
  configure_file(cmake/quorin.pc.in ${PROJECT_BINARY_DIR}/${_pkg}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${_pkg}.pc DESTINATION ${_pc_dir})
endforeach()

set(CPACK_PACKAGE_NAME quorin)
set(CPACK_PACKAGE_VENDOR "Quorin")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "RC6 cipher component (TQuorin), its libraries and the quorin tool")
set(CPACK_PACKAGE_CONTACT "Quorin developers <dev@quorin.invalid>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorin developers <dev@quorin.invalid>")
set(CPACK_DEBIAN_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "libc6 (>= 2.28), libstdc++6 (>= 12), libgcc-s1")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# The package's shared libraries are registered with the dynamic linker's cache.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${PROJECT_SOURCE_DIR}/cmake/debian/triggers)
set(CPACK_GENERATOR DEB)
include(CPack)
