# Third-party libraries, all from Debian's packages (scripts/setup installs them).
find_package(Threads REQUIRED)

if(CMAKE_CROSSCOMPILING)
  # The header-only libraries live in /usr/include, which must not reach the cross compiler's path:
  # a build-tree folder of links to just those headers stands in for it.
  set(HEADER_DEPS_DIR ${CMAKE_BINARY_DIR}/header-deps)
  file(MAKE_DIRECTORY ${HEADER_DEPS_DIR})
  foreach(entry asio asio.hpp fmt spdlog nlohmann)
    if(NOT EXISTS ${HEADER_DEPS_DIR}/${entry})
      file(CREATE_LINK /usr/include/${entry} ${HEADER_DEPS_DIR}/${entry} SYMBOLIC)
    endif()
  endforeach()

  add_library(header_deps INTERFACE)
  target_include_directories(header_deps SYSTEM INTERFACE ${HEADER_DEPS_DIR})

  add_library(asio_dep INTERFACE)
  target_link_libraries(asio_dep INTERFACE header_deps ws2_32 mswsock)
  # Asio picks pthreads for its internal threads (timer, resolver) when _POSIX_THREADS is defined at
  # its first include, and Win32 threads otherwise. MinGW's posix thread model defines it only in
  # <pthread.h>, which <memory> and <thread> pull in, so the choice followed each file's include
  # order: one program linked both layouts of asio::detail::thread, and an io_context started its
  # timer thread as one kind and joined it as the other (heap corruption, a join that never waits).
  # Pinning the choice keeps every file on the same layout.
  target_compile_definitions(asio_dep INTERFACE ASIO_STANDALONE ASIO_HAS_PTHREADS)
  add_library(fmt_dep INTERFACE)
  target_link_libraries(fmt_dep INTERFACE header_deps)
  target_compile_definitions(fmt_dep INTERFACE FMT_HEADER_ONLY)
  add_library(spdlog_dep INTERFACE)
  target_link_libraries(spdlog_dep INTERFACE fmt_dep)
  target_compile_definitions(spdlog_dep INTERFACE SPDLOG_HEADER_ONLY SPDLOG_FMT_EXTERNAL)
  add_library(json_dep INTERFACE)
  target_link_libraries(json_dep INTERFACE header_deps)

  find_library(GCRYPT_LIBRARY NAMES libgcrypt.a REQUIRED)
  find_library(GPG_ERROR_LIBRARY NAMES libgpg-error.a REQUIRED)
  add_library(gcrypt_dep INTERFACE)
  target_link_libraries(gcrypt_dep INTERFACE ${GCRYPT_LIBRARY} ${GPG_ERROR_LIBRARY} ws2_32)

  find_program(WINE_PROGRAM NAMES wine wine64 REQUIRED)
  find_program(WINESERVER_PROGRAM NAMES wineserver REQUIRED)
  set(WINE_PREFIX_DIR ${CMAKE_BINARY_DIR}/wineprefix)
  configure_file(${CMAKE_CURRENT_LIST_DIR}/wine-run.in ${CMAKE_BINARY_DIR}/wine-run
                 @ONLY FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE)
else()
  find_package(fmt REQUIRED)
  find_package(spdlog REQUIRED)
  find_package(nlohmann_json REQUIRED)
  find_package(PkgConfig REQUIRED)
  pkg_check_modules(GCRYPT REQUIRED IMPORTED_TARGET libgcrypt)

  add_library(asio_dep INTERFACE)
  target_compile_definitions(asio_dep INTERFACE ASIO_STANDALONE)
  target_link_libraries(asio_dep INTERFACE Threads::Threads)
  add_library(fmt_dep INTERFACE)
  target_link_libraries(fmt_dep INTERFACE fmt::fmt)
  add_library(spdlog_dep INTERFACE)
  target_link_libraries(spdlog_dep INTERFACE spdlog::spdlog)
  add_library(json_dep INTERFACE)
  target_link_libraries(json_dep INTERFACE nlohmann_json::nlohmann_json)
  add_library(gcrypt_dep INTERFACE)
  target_link_libraries(gcrypt_dep INTERFACE PkgConfig::GCRYPT)
endif()
