# Install rules, the CMake package (installed and in the build tree), the
# pkg-config files and the Debian packages.
#
# Components: runtime (the shared library), development (headers, the CMake
# package, brindle.pc, the unversioned library name) and rpc (the RPC
# runtime's header, Brindle::rpc, brindle_rpcgen, brindle-rpc.pc).
include(CMakePackageConfigHelpers)
set(brindle_cmake_dir ${CMAKE_INSTALL_LIBDIR}/cmake/Brindle)

install(TARGETS brindle EXPORT BrindleTargets
  LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT runtime NAMELINK_COMPONENT development
  ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR} COMPONENT development
  RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR} COMPONENT runtime)
install(DIRECTORY include/brindle DESTINATION ${CMAKE_INSTALL_INCLUDEDIR} COMPONENT development
  PATTERN rpc_runtime.h EXCLUDE)
install(EXPORT BrindleTargets NAMESPACE Brindle:: DESTINATION ${brindle_cmake_dir} COMPONENT development)
export(EXPORT BrindleTargets NAMESPACE Brindle:: FILE ${PROJECT_BINARY_DIR}/BrindleTargets.cmake)

# One config file serves the install and the build tree: it finds its
# neighbours from where it lies.
configure_file(cmake/BrindleConfig.cmake.in ${PROJECT_BINARY_DIR}/BrindleConfig.cmake @ONLY)
# Within a major version every release runs what the one before it ran
# (brindle/version.h).
write_basic_package_version_file(${PROJECT_BINARY_DIR}/BrindleConfigVersion.cmake
  COMPATIBILITY SameMajorVersion)
install(FILES ${PROJECT_BINARY_DIR}/BrindleConfig.cmake ${PROJECT_BINARY_DIR}/BrindleConfigVersion.cmake
  DESTINATION ${brindle_cmake_dir} COMPONENT development)

# The .pc files find their prefix from where they lie, so that an installed
# tree stays usable wherever it is unpacked (and with cmake --install
# --prefix). No -std: a consumer chooses C++20 or later itself.
file(RELATIVE_PATH brindle_pc_to_prefix "/${CMAKE_INSTALL_LIBDIR}/pkgconfig" "/")
string(REGEX REPLACE "/$" "" brindle_pc_to_prefix "${brindle_pc_to_prefix}")
set(BRINDLE_PC_PREFIX "\${pcfiledir}/${brindle_pc_to_prefix}")
set(BRINDLE_PC_LIBDIR "\${prefix}/${CMAKE_INSTALL_LIBDIR}")
set(BRINDLE_PC_INCLUDEDIR "\${prefix}/${CMAKE_INSTALL_INCLUDEDIR}")
configure_file(cmake/brindle.pc.in ${PROJECT_BINARY_DIR}/brindle.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/brindle.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT development)
# The build tree's: pkg-config prefers <name>-uninstalled.pc where it finds
# one, so PKG_CONFIG_PATH=<build>/pkgconfig builds against the build tree.
set(BRINDLE_PC_PREFIX ${PROJECT_BINARY_DIR})
set(BRINDLE_PC_LIBDIR $<TARGET_FILE_DIR:brindle>)
set(BRINDLE_PC_INCLUDEDIR ${PROJECT_SOURCE_DIR}/include)
configure_file(cmake/brindle.pc.in ${PROJECT_BINARY_DIR}/brindle-uninstalled.pc.in @ONLY)
file(GENERATE OUTPUT ${PROJECT_BINARY_DIR}/pkgconfig/brindle-uninstalled.pc
  INPUT ${PROJECT_BINARY_DIR}/brindle-uninstalled.pc.in)

if(BRINDLE_WITH_RPC)
  install(TARGETS brindle_rpc EXPORT BrindleRpcTargets COMPONENT rpc)
  install(EXPORT BrindleRpcTargets NAMESPACE Brindle:: DESTINATION ${brindle_cmake_dir} COMPONENT rpc)
  export(EXPORT BrindleRpcTargets NAMESPACE Brindle:: FILE ${PROJECT_BINARY_DIR}/BrindleRpcTargets.cmake)
  set(brindle_rpc_cmake cmake/BrindleTirpc.cmake cmake/BrindleRpcgen.cmake cmake/BrindleRpcgenRun.cmake)
  install(FILES ${brindle_rpc_cmake} DESTINATION ${brindle_cmake_dir} COMPONENT rpc)
  foreach(file IN LISTS brindle_rpc_cmake)
    configure_file(${file} ${PROJECT_BINARY_DIR} COPYONLY)
  endforeach()
  install(FILES include/brindle/rpc_runtime.h DESTINATION ${CMAKE_INSTALL_INCLUDEDIR}/brindle COMPONENT rpc)
  configure_file(cmake/brindle-rpc.pc.in ${PROJECT_BINARY_DIR}/brindle-rpc.pc @ONLY)
  configure_file(cmake/brindle-rpc.pc.in ${PROJECT_BINARY_DIR}/pkgconfig/brindle-rpc-uninstalled.pc @ONLY)
  install(FILES ${PROJECT_BINARY_DIR}/brindle-rpc.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig COMPONENT rpc)
endif()

# Debian packages (cpack -G DEB in the build folder): libbrindle0, the
# shared library; libbrindle-dev, everything for building against it.
if(NOT WIN32)
  set(CPACK_GENERATOR DEB)
  set(CPACK_PACKAGE_NAME brindle)
  set(CPACK_PACKAGE_VENDOR "Brindle")
  set(CPACK_PACKAGE_CONTACT "Brindle developers <brindle@localhost>")
  set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
  set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${PROJECT_DESCRIPTION}")
  set(CPACK_DEB_COMPONENT_INSTALL ON)
  set(CPACK_COMPONENTS_GROUPING ONE_PER_GROUP)
  set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
  set(CPACK_DEBIAN_PACKAGE_SECTION libdevel)
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_NAME libbrindle${PROJECT_VERSION_MAJOR})
  set(CPACK_DEBIAN_RUNTIME_PACKAGE_SECTION libs)
  set(CPACK_DEBIAN_DEV_PACKAGE_NAME libbrindle-dev)
  set(brindle_dev_depends "libbrindle${PROJECT_VERSION_MAJOR} (= ${PROJECT_VERSION})")
  if(BRINDLE_WITH_RPC)
    string(APPEND brindle_dev_depends ", libtirpc-dev")
  endif()
  set(CPACK_DEBIAN_DEV_PACKAGE_DEPENDS "${brindle_dev_depends}")
  # The shared library's own needs, read from it by dpkg-shlibdeps where
  # dpkg-dev is installed; otherwise stated.
  find_program(BRINDLE_DPKG_SHLIBDEPS dpkg-shlibdeps)
  if(BRINDLE_DPKG_SHLIBDEPS)
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_SHLIBDEPS ON)
  else()
    set(CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS "libc6 (>= 2.34), libgcc-s1 (>= 3.0), libstdc++6 (>= 12)")
    if(BRINDLE_WITH_RPC)
      string(APPEND CPACK_DEBIAN_RUNTIME_PACKAGE_DEPENDS ", libtirpc3 (>= 1.3.2)")
    endif()
  endif()
  include(CPackComponent)
  cpack_add_component_group(runtime)
  cpack_add_component_group(dev)
  cpack_add_component(runtime GROUP runtime)
  cpack_add_component(development GROUP dev DEPENDS runtime)
  cpack_add_component(rpc GROUP dev DEPENDS development)
  set(CPACK_COMPONENTS_ALL runtime development rpc)
  include(CPack)
endif()
