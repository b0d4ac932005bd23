# Debian packages only (scripts/setup installs them).
find_package(Threads REQUIRED)

find_path(SOCI_INCLUDE_DIR soci/soci.h REQUIRED)
find_library(SOCI_CORE_LIBRARY soci_core REQUIRED)
find_library(SOCI_SQLITE3_LIBRARY soci_sqlite3 REQUIRED)
find_library(SQLITE3_LIBRARY sqlite3 REQUIRED)
add_library(soci::sqlite3 INTERFACE IMPORTED)
target_include_directories(soci::sqlite3 INTERFACE ${SOCI_INCLUDE_DIR})
target_link_libraries(soci::sqlite3 INTERFACE ${SOCI_SQLITE3_LIBRARY} ${SOCI_CORE_LIBRARY} ${SQLITE3_LIBRARY})

find_package(PkgConfig REQUIRED)
# The packaged HTTP library is compiled with TLS and compression switched on:
# its users must see the same definitions.
pkg_check_modules(HTTPLIB REQUIRED IMPORTED_TARGET cpp-httplib)
find_package(CLI11 REQUIRED)
# The importer's XML parser and zip reader.
pkg_check_modules(PUGIXML REQUIRED IMPORTED_TARGET pugixml)
pkg_check_modules(LIBZIP REQUIRED IMPORTED_TARGET libzip)
# The users of an office's server: salted, slow password hashes.
pkg_check_modules(SODIUM REQUIRED IMPORTED_TARGET libsodium)
# The desktop host's windows; Test drives real widgets with key and mouse events.
find_package(Qt6 REQUIRED COMPONENTS Widgets Test)

if(MAG_BUILD_TESTS)
  find_package(GTest REQUIRED)
endif()
