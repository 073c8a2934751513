# Installing the libraries for hosts: `cmake --install BUILD --prefix PREFIX` puts platform,
# vaguecore and rulecore under PREFIX/lib, the headers a host needs under
# PREFIX/include/ruleengine (with their folders: core/engine/InferenceEngine.h, ...), a CMake
# package (find_package(ruleengine CONFIG REQUIRED), targets ruleengine::rulecore,
# ruleengine::vaguecore, ruleengine::platform) and a pkg-config file (ruleengine.pc).
include(GNUInstallDirs)
include(CMakePackageConfigHelpers)

set(RULE_INSTALL_INCLUDEDIR ${CMAKE_INSTALL_INCLUDEDIR}/ruleengine)
set(RULE_INSTALL_CMAKEDIR ${CMAKE_INSTALL_LIBDIR}/cmake/ruleengine)

# The headers a host includes, and everything they include in turn: nothing else is installed.
set(RULE_PUBLIC_HEADERS
    core/engine/InferenceEngine.h
    core/engine/HostDialogs.h
    core/network/IERule.h
    fuzzy/FuzzyLogic.h
    platform/Action.h
    platform/Control.h
    platform/ObjectWatch.h
    platform/PageArena.h)

function(rule_header_closure OUT)
  set(Pending ${ARGN})
  set(Seen)
  while(Pending)
    list(POP_FRONT Pending Header)
    if(Header IN_LIST Seen OR NOT EXISTS ${PROJECT_SOURCE_DIR}/${Header})
      continue()
    endif()
    list(APPEND Seen ${Header})
    get_filename_component(Folder ${Header} DIRECTORY)
    file(STRINGS ${PROJECT_SOURCE_DIR}/${Header} Lines REGEX "^[ \t]*#[ \t]*include[ \t]*\"")
    foreach(Line IN LISTS Lines)
      string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*\"([^\"]+)\".*" "\\1" Included "${Line}")
      if(Included MATCHES "/")
        list(APPEND Pending ${Included})
      else()
        list(APPEND Pending ${Folder}/${Included})
      endif()
    endforeach()
  endwhile()
  set(${OUT} ${Seen} PARENT_SCOPE)
endfunction()

rule_header_closure(RULE_INSTALLED_HEADERS ${RULE_PUBLIC_HEADERS})
foreach(Header IN LISTS RULE_INSTALLED_HEADERS)
  get_filename_component(Folder ${Header} DIRECTORY)
  install(FILES ${PROJECT_SOURCE_DIR}/${Header} DESTINATION ${RULE_INSTALL_INCLUDEDIR}/${Folder})
endforeach()

foreach(Library platform vaguecore rulecore)
  target_include_directories(${Library} INTERFACE $<INSTALL_INTERFACE:${RULE_INSTALL_INCLUDEDIR}>)
  # The libraries find each other next to themselves wherever the prefix is.
  set_target_properties(${Library} PROPERTIES INSTALL_RPATH "$ORIGIN" VERSION ${PROJECT_VERSION}
                                              SOVERSION ${PROJECT_VERSION_MAJOR})
  # Hosts compile the headers as C++20.
  target_compile_features(${Library} INTERFACE cxx_std_20)
endforeach()

install(TARGETS platform vaguecore rulecore EXPORT ruleengineTargets
        LIBRARY DESTINATION ${CMAKE_INSTALL_LIBDIR}
        ARCHIVE DESTINATION ${CMAKE_INSTALL_LIBDIR}
        RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(EXPORT ruleengineTargets NAMESPACE ruleengine:: DESTINATION ${RULE_INSTALL_CMAKEDIR})

configure_package_config_file(${PROJECT_SOURCE_DIR}/cmake/ruleengineConfig.cmake.in
                              ${PROJECT_BINARY_DIR}/ruleengineConfig.cmake
                              INSTALL_DESTINATION ${RULE_INSTALL_CMAKEDIR})
write_basic_package_version_file(${PROJECT_BINARY_DIR}/ruleengineConfigVersion.cmake
                                 COMPATIBILITY SameMinorVersion)
install(FILES ${PROJECT_BINARY_DIR}/ruleengineConfig.cmake ${PROJECT_BINARY_DIR}/ruleengineConfigVersion.cmake
        DESTINATION ${RULE_INSTALL_CMAKEDIR})

# Relocatable: the prefix is found from where the file lies, whatever --prefix the install got.
file(RELATIVE_PATH RULE_PC_TO_PREFIX /prefix/${CMAKE_INSTALL_LIBDIR}/pkgconfig /prefix)
configure_file(${PROJECT_SOURCE_DIR}/cmake/ruleengine.pc.in ${PROJECT_BINARY_DIR}/ruleengine.pc @ONLY)
install(FILES ${PROJECT_BINARY_DIR}/ruleengine.pc DESTINATION ${CMAKE_INSTALL_LIBDIR}/pkgconfig)
