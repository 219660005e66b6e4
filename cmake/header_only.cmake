# CLI11 and nlohmann-json are header-only Debian packages. The cross build reaches them through a
# folder that holds only those two, so that the host's C headers never shadow MinGW's.
if(CMAKE_CROSSCOMPILING)
  set(host_headers ${CMAKE_BINARY_DIR}/host-headers)
  file(MAKE_DIRECTORY ${host_headers})
  foreach(dir CLI nlohmann)
    if(NOT EXISTS /usr/include/${dir})
      message(FATAL_ERROR "/usr/include/${dir} is missing (libcli11-dev, nlohmann-json3-dev)")
    endif()
    file(CREATE_LINK /usr/include/${dir} ${host_headers}/${dir} SYMBOLIC)
  endforeach()
  add_library(CLI11::CLI11 INTERFACE IMPORTED GLOBAL)
  add_library(nlohmann_json::nlohmann_json INTERFACE IMPORTED GLOBAL)
  set_target_properties(CLI11::CLI11 nlohmann_json::nlohmann_json PROPERTIES
    INTERFACE_INCLUDE_DIRECTORIES ${host_headers})
else()
  find_package(CLI11 REQUIRED)
  find_package(nlohmann_json REQUIRED)
endif()
