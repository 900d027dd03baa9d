# The header-only libraries the programs build on, from Debian's packages:
# CLI11 (command lines), nlohmann/json (iap-cli's JSON) and utfcpp (UTF-8).
# Natively through their packages' CMake files. A cross build must not see
# the build machine's /usr/include, whose C library would stand in for
# mingw's, so it gets a copy of the three libraries' headers alone, under the
# same target names. Nothing of them is needed at run time.
if(NOT CMAKE_CROSSCOMPILING)
  find_package(CLI11 CONFIG REQUIRED)
  find_package(nlohmann_json 3 CONFIG REQUIRED)
  find_package(utf8cpp CONFIG REQUIRED)
  return()
endif()

set(IAP_HEADER_COPY ${CMAKE_BINARY_DIR}/header-libraries)
# target, header that marks the folder, folder under /usr/include, include root
foreach(library "CLI11::CLI11;CLI/CLI.hpp;CLI;."
                "nlohmann_json::nlohmann_json;nlohmann/json.hpp;nlohmann;."
                "utf8cpp;utf8cpp/utf8.h;utf8cpp;utf8cpp")
  list(GET library 0 target)
  list(GET library 1 marker)
  list(GET library 2 folder)
  list(GET library 3 root)
  if(NOT EXISTS /usr/include/${marker})
    message(FATAL_ERROR "${target}: /usr/include/${marker} is missing (scripts/bootstrap installs it)")
  endif()
  file(COPY /usr/include/${folder} DESTINATION ${IAP_HEADER_COPY})
  add_library(${target} INTERFACE IMPORTED)
  target_include_directories(${target} SYSTEM INTERFACE ${IAP_HEADER_COPY}/${root})
endforeach()
