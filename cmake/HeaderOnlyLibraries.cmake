include_guard(GLOBAL)
# CLI11, toml++ and nlohmann-json are header-only Debian packages. The Linux build finds
# them in the system's include path. A cross build must not see the host's /usr/include at
# all, so the three libraries' own folders are copied into the build tree and only that
# copy is given to MinGW.
set(TAMLO_HEADER_ONLY_SOURCE /usr/include CACHE PATH
    "Where the Debian packages put CLI/, toml++/ and nlohmann/")
add_library(tamlo_header_only INTERFACE)
foreach(folder CLI toml++ nlohmann)
  if(NOT EXISTS ${TAMLO_HEADER_ONLY_SOURCE}/${folder})
    message(FATAL_ERROR "${TAMLO_HEADER_ONLY_SOURCE}/${folder} is missing: install libcli11-dev, "
                        "libtomlplusplus-dev and nlohmann-json3-dev")
  endif()
endforeach()
if(CMAKE_CROSSCOMPILING)
  set(staging ${CMAKE_BINARY_DIR}/header-only)
  foreach(folder CLI toml++ nlohmann)
    file(COPY ${TAMLO_HEADER_ONLY_SOURCE}/${folder} DESTINATION ${staging})
  endforeach()
  target_include_directories(tamlo_header_only SYSTEM INTERFACE ${staging})
endif()
