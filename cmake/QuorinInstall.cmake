# Installation: libraries, headers, tools, the CMake package (Quorin::tamberlo,
# Quorin::tambercin, Quorin::framework), pkg-config files, manuals, shell
# completion, and three Debian packages by component:
#   runtime -> libquorin1     the three shared libraries
#   dev     -> libquorin-dev  headers, CMake and pkg-config files, .so links
#   tools   -> quorin         quorin and quorin-palette, manuals, completion
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(QUORIN_CMAKE_DIR ${CMAKE_INSTALL_LIBDIR}/cmake/Quorin)
# Debian wants each package's documents under its own name.
option(QUORIN_DEBIAN_DOCS "Install copyright and changelog files under each Debian package's name" OFF)

set(_libraries framework tamberlo tambercin quorin-c)
if(QUORIN_HAVE_SEAL)
  list(APPEND _libraries quorin-seal)
  install(DIRECTORY seal/include/quorin DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)
endif()
foreach(_target ${_libraries})
  quorin_install_rpath(${_target})
endforeach()
install(TARGETS ${_libraries} EXPORT QuorinTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT dev
  INCLUDES DESTINATION ${CMAKE_INSTALL_INCLUDEDIR})
install(DIRECTORY framework/include/quorin component/include/quorin capi/include/quorin
  DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT dev)

# The Python package goes where the prefix's Python finds packages
# (/usr/lib/python3/dist-packages on Debian); it finds libquorin-c through
# the relative path recorded beside it.
set(QUORIN_PYTHON_DIR lib/python3/dist-packages CACHE STRING "where the Python package is installed, relative to the prefix")
file(RELATIVE_PATH QUORIN_PYTHON_TO_LIB /${QUORIN_PYTHON_DIR}/quorin
     /${CMAKE_INSTALL_LIBDIR}/libquorin-c.so.2)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/python/_location.py CONTENT
  "# Written at installation: where libquorin-c lies, relative to this package.\nLIBRARY = \"${QUORIN_PYTHON_TO_LIB}\"\n")
file(GLOB _quorin_python_modules ${PROJECT_SOURCE_DIR}/bindings/python/quorin/*.py)
if(NOT WIN32)  # on Windows Python loads quorin-c.dll by ctypes (docs/windows.md)
  install(FILES ${_quorin_python_modules} bindings/python/quorin/py.typed ${PROJECT_BINARY_DIR}/python/_location.py
    DESTINATION ${QUORIN_PYTHON_DIR}/quorin COMPONENT python)
endif()
if(QUORIN_BUILD_TOOLS)
  quorin_install_rpath(quorin)
  quorin_install_rpath(quorin-palette)
  install(TARGETS quorin quorin-palette RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT tools)
  if(QUORIN_DEBIAN_DOCS)  # Debian installs manual pages compressed
    foreach(_page quorin quorin-palette)
      add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/${_page}.1.gz
        COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/docs/man/${_page}.1 > ${PROJECT_BINARY_DIR}/${_page}.1.gz
        DEPENDS ${PROJECT_SOURCE_DIR}/docs/man/${_page}.1)
      list(APPEND _pages ${PROJECT_BINARY_DIR}/${_page}.1.gz)
    endforeach()
    add_custom_target(manual_pages ALL DEPENDS ${_pages})
  else()
    set(_pages docs/man/quorin.1 docs/man/quorin-palette.1)
  endif()
  if(NOT WIN32)
    install(FILES ${_pages} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1 COMPONENT tools)
    install(FILES tools/completion/quorin tools/completion/quorin-palette
      DESTINATION ${CMAKE_INSTALL_DATADIR}/bash-completion/completions COMPONENT tools)
  endif()
endif()

install(EXPORT QuorinTargets NAMESPACE Quorin:: DESTINATION ${QUORIN_CMAKE_DIR} COMPONENT dev)
configure_package_config_file(cmake/QuorinConfig.cmake.in ${PROJECT_BINARY_DIR}/QuorinConfig.cmake
  INSTALL_DESTINATION ${QUORIN_CMAKE_DIR})
# 1.11 serves every 1.x request: both packages are installed together.
write_basic_package_version_file(${PROJECT_BINARY_DIR}/QuorinConfigVersion.cmake
  VERSION ${PROJECT_VERSION} COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/QuorinConfig.cmake ${PROJECT_BINARY_DIR}/QuorinConfigVersion.cmake
  DESTINATION ${QUORIN_CMAKE_DIR} COMPONENT dev)

# pkg-config files find the prefix relative to themselves, so the tree can move.
set(_pc_dir ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
file(RELATIVE_PATH QUORIN_PC_PREFIX_FROM_PCFILEDIR /${_pc_dir} /)
set(_pkgs tamberlo tambercin quorin-c)
if(QUORIN_HAVE_SEAL)
  list(APPEND _pkgs quorin-seal)
endif()
foreach(_pkg ${_pkgs})
  if(_pkg STREQUAL "quorin-seal")
    set(QUORIN_PC_VERSION ${PROJECT_VERSION})
    set(QUORIN_PC_DESCRIPTION "Sealed files over the RC6 component TQuorin: passphrase or key file, header, tags")
    set(QUORIN_PC_CFLAGS "-std=c++20")
  elseif(_pkg STREQUAL "quorin-c")
    set(QUORIN_PC_VERSION ${PROJECT_VERSION})
    set(QUORIN_PC_DESCRIPTION "C interface to the RC6 cipher component TQuorin and to sealed files")
    set(QUORIN_PC_CFLAGS "")
  elseif(_pkg STREQUAL "tambercin")
    set(QUORIN_PC_VERSION 1.10)
    set(QUORIN_PC_DESCRIPTION "RC6 cipher component TQuorin, 1.10 feature set")
    set(QUORIN_PC_CFLAGS "-std=c++20 -DQUORIN_FEATURES_1_10")
  else()
    set(QUORIN_PC_VERSION ${PROJECT_VERSION})
    set(QUORIN_PC_DESCRIPTION "RC6 cipher component TQuorin, full feature set")
    set(QUORIN_PC_CFLAGS "-std=c++20")
  endif()
  set(QUORIN_PC_NAME ${_pkg})
  set(QUORIN_PC_EXTRA_LIBS -lquorin-framework)
  if(_pkg STREQUAL "quorin-c")
    set(QUORIN_PC_EXTRA_LIBS "")
  endif()
  configure_file(cmake/quorin.pc.in ${PROJECT_BINARY_DIR}/${_pkg}.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/${_pkg}.pc DESTINATION ${_pc_dir} COMPONENT dev)
endforeach()

set(_runtime libquorin1)
set(_dev libquorin-dev)
set(_tools quorin)
set(_python python3-quorin)
set(_components runtime dev tools python)
set(_pg_major 15)
if(TARGET quorin-postgresql)
  # The extension is named as Debian names them: for one server version.
  execute_process(COMMAND ${QUORIN_PG_CONFIG} --version OUTPUT_VARIABLE _pg_version ERROR_QUIET)
  string(REGEX MATCH "[0-9]+" _pg_major "${_pg_version}")
  list(APPEND _components postgresql)
endif()
set(_postgresql postgresql-${_pg_major}-quorin)
if(WIN32)
  # The ZIP's top folder: what a Windows user opens first.
  install(FILES README.md LICENSE DESTINATION . COMPONENT runtime)
  install(FILES docs/windows.md DESTINATION . RENAME WINDOWS.md COMPONENT runtime)
elseif(QUORIN_DEBIAN_DOCS)
  # Debian's changelog, compressed as policy asks (reproducibly: no name, no time).
  add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/changelog.Debian.gz
    COMMAND gzip -9n -c ${PROJECT_SOURCE_DIR}/cmake/debian/changelog > ${PROJECT_BINARY_DIR}/changelog.Debian.gz
    DEPENDS ${PROJECT_SOURCE_DIR}/cmake/debian/changelog)
  add_custom_target(debian_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/changelog.Debian.gz)
  foreach(_component ${_components})
    set(_doc ${CMAKE_INSTALL_DATADIR}/doc/${_${_component}})
    install(FILES cmake/debian/copyright ${PROJECT_BINARY_DIR}/changelog.Debian.gz
      DESTINATION ${_doc} COMPONENT ${_component})
  endforeach()
  install(FILES README.md docs/cli.md docs/security.md docs/sealed-format.md
          DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_tools} COMPONENT tools)
  install(FILES docs/cpp.md docs/c.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_dev} COMPONENT dev)
  if(TARGET quorin-postgresql)
    install(FILES docs/postgresql.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/${_postgresql}
            COMPONENT postgresql)
  endif()
else()
  install(FILES README.md LICENSE CHANGELOG.md docs/cli.md docs/cpp.md docs/c.md docs/security.md
                docs/sealed-format.md DESTINATION ${CMAKE_INSTALL_DOCDIR} COMPONENT dev)
endif()

set(CPACK_PACKAGE_NAME quorin)
set(CPACK_PACKAGE_VENDOR "Quorin")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION}.0)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "RC6 cipher component TQuorin")
set(CPACK_PACKAGE_CONTACT "Quorin developers <dev@quorin.example.org>")
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "Quorin developers <dev@quorin.example.org>")
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "https://quorin.example.org/")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_ALL ${_components})
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# Dependencies are computed from the binaries; our own libraries are found in
# the build tree and depended on exactly.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS ${PROJECT_BINARY_DIR}/lib)
set(_exact "${_runtime} (= ${CPACK_PACKAGE_VERSION}-${CPACK_DEBIAN_PACKAGE_RELEASE})")

set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME ${_runtime})
set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
set(CPACK_DEBIAN_RUNTIME_DESCRIPTION "RC6 cipher component TQuorin - shared libraries
 TQuorin encrypts and decrypts with the RC6 block cipher (RC6-32/20) in ECB,
 CBC, CFB or OFB chaining, with count-byte padding, a radix-64 text armour
 and a CBC-MAC read-out. This package holds the two component packages,
 tamberlo (1.11) and tambercin (1.10), the framework they run on, the
 C interface libquorin-c, and libquorin-seal for sealed files (passphrase
 or key file, a self-describing header and a tag on every chunk).")
# A shlibs file, so that packages built against these libraries depend on
# them. The linker cache is refreshed by dpkg's ldconfig trigger; the
# maintainer scripts given here keep CPack from calling ldconfig itself.
set(CPACK_DEBIAN_PACKAGE_GENERATE_SHLIBS ON)
set(CPACK_DEBIAN_RUNTIME_PACKAGE_CONTROL_EXTRA
  ${PROJECT_SOURCE_DIR}/cmake/debian/triggers ${PROJECT_SOURCE_DIR}/cmake/debian/postinst
  ${PROJECT_SOURCE_DIR}/cmake/debian/postrm)
# ... and are then taken out of the finished package (see the script).
set(CPACK_POST_BUILD_SCRIPTS ${PROJECT_SOURCE_DIR}/cmake/debian/drop-maintainer-scripts.cmake)

set(CPACK_DEBIAN_DEV_PACKAGE_NAME ${_dev})
set(CPACK_DEBIAN_DEV_PACKAGE_SECTION libdevel)
set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS ${_exact})
set(CPACK_DEBIAN_DEV_DESCRIPTION "RC6 cipher component TQuorin - development files
 TQuorin encrypts and decrypts with the RC6 block cipher (RC6-32/20) in ECB,
 CBC, CFB or OFB chaining. This package holds the C++20 headers
 (<quorin/Rc6.h>, <quorin/seal/Seal.h>), the CMake package
 (find_package(Quorin)) and the pkg-config files (tamberlo, tambercin,
 quorin-c, quorin-seal).")

set(CPACK_DEBIAN_TOOLS_PACKAGE_NAME ${_tools})
set(CPACK_DEBIAN_TOOLS_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_TOOLS_PACKAGE_DEPENDS ${_exact})
set(CPACK_DEBIAN_TOOLS_DESCRIPTION "RC6 encryption from the command line
 quorin seals files under a passphrase or a key file (RC6 with a tag on
 every chunk, refusing a wrong secret or an altered file), and encrypts,
 decrypts and authenticates (CBC-MAC) files and text in the TQuorin
 component's raw format; quorin-palette shows what a component package
 puts on the palette.")
set(CPACK_DEBIAN_PYTHON_PACKAGE_NAME ${_python})
set(CPACK_DEBIAN_PYTHON_PACKAGE_SECTION python)
set(CPACK_DEBIAN_PYTHON_PACKAGE_DEPENDS "${_exact}, python3")
# Columns as pandas Series, and across a Dask cluster.
set(CPACK_DEBIAN_PYTHON_PACKAGE_SUGGESTS "python3-pandas, python3-distributed")
set(CPACK_DEBIAN_PYTHON_DESCRIPTION "RC6 cipher component TQuorin - Python 3 package
 Reads and writes the TQuorin component's data from Python: RC6-32/20 in
 ECB, CBC, CFB or OFB with count-byte padding, the radix-64 armour and the
 CBC-MAC, through the C interface (ctypes); whole columns in one call, as
 lists, pandas Series or across a Dask cluster.")
set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_NAME ${_postgresql})
set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_SECTION database)
set(CPACK_DEBIAN_POSTGRESQL_PACKAGE_DEPENDS "${_exact}, postgresql-${_pg_major}")
set(CPACK_DEBIAN_POSTGRESQL_DESCRIPTION "RC6 cipher component TQuorin - PostgreSQL ${_pg_major} extension
 CREATE EXTENSION quorin gives SQL functions that read and write the
 TQuorin component's strings (RC6-32/20 in ECB, CBC, CFB or OFB, raw or
 armoured, with the CBC-MAC) and seal or open values for recipients or
 key files, in parallel queries, keeping keys out of the server log.")
if(WIN32)
  # One ZIP of everything a Windows user needs: the DLLs and quorin.exe in
  # bin (they find each other there), import libraries, headers, documents.
  set(CPACK_GENERATOR ZIP)
  set(CPACK_COMPONENTS_ALL runtime dev tools)
  set(CPACK_ARCHIVE_COMPONENT_INSTALL OFF)
  set(CPACK_PACKAGING_INSTALL_PREFIX "")
  set(CPACK_PACKAGE_FILE_NAME quorin-${CPACK_PACKAGE_VERSION}-windows-x86_64)
  set(CPACK_POST_BUILD_SCRIPTS "")
else()
  set(CPACK_GENERATOR DEB)
endif()
include(CPack)
