# Header-only libraries for a cross build, from the host's Debian packages.
# Their own config files would put /usr/include on the include path, where
# glibc's headers would shadow the target's C library; so each package gets
# a config of its own here whose include folder holds only its headers.
function(tirs_host_header_package package header_folder target)
  set(headers ${CMAKE_BINARY_DIR}/host-headers/${package})
  file(MAKE_DIRECTORY ${headers})
  file(CREATE_LINK /usr/include/${header_folder} ${headers}/${header_folder} SYMBOLIC)
  set(config ${CMAKE_BINARY_DIR}/host-packages/${package})
  file(WRITE ${config}/${package}Config.cmake "\
if(NOT TARGET ${target})
  add_library(${target} INTERFACE IMPORTED)
  set_target_properties(${target} PROPERTIES INTERFACE_INCLUDE_DIRECTORIES ${headers})
endif()
")
  # The package's own version file answers version requests.
  file(WRITE ${config}/${package}ConfigVersion.cmake
    "include(/usr/share/cmake/${package}/${package}ConfigVersion.cmake)\n")
  set(${package}_DIR ${config} CACHE PATH "${package} for the cross build" FORCE)
endfunction()

tirs_host_header_package(CLI11 CLI CLI11::CLI11)
tirs_host_header_package(nlohmann_json nlohmann nlohmann_json::nlohmann_json)
