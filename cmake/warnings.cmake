# One place for compiler flags that every target of the project shares.
add_library(mag_warnings INTERFACE)
target_compile_options(mag_warnings INTERFACE -Wall -Wextra -Wpedantic -Wshadow -Wnon-virtual-dtor
                                              -Wold-style-cast -Wcast-align -Woverloaded-virtual)
if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
  # GCC 12 reports impossible overlaps inside std::string at -O2 (a known
  # false positive of its -Wrestrict).
  target_compile_options(mag_warnings INTERFACE -Wno-restrict)
endif()
if(MAG_WERROR)
  target_compile_options(mag_warnings INTERFACE -Werror)
endif()
if(MAG_SANITIZE)
  add_compile_options(-fsanitize=address,undefined -fno-sanitize-recover=undefined -fno-omit-frame-pointer)
  add_link_options(-fsanitize=address,undefined)
endif()
