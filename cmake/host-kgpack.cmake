# A cross build packs its installer with a native kgpack, built here from the
# same sources by a nested host configuration.
include(ExternalProject)
set(KGPACK_HOST_DIR ${CMAKE_BINARY_DIR}/kgpack-host)
set(KGPACK_EXECUTABLE ${KGPACK_HOST_DIR}/tools/kgpack/kgpack)
ExternalProject_Add(kgpack_host
  SOURCE_DIR ${PROJECT_SOURCE_DIR}
  BINARY_DIR ${KGPACK_HOST_DIR}
  CMAKE_ARGS -DKG_TOOLS_ONLY=ON -DKG_TESTS=OFF -DCMAKE_BUILD_TYPE=Release
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${KGPACK_HOST_DIR} --target kgpack
  BUILD_BYPRODUCTS ${KGPACK_EXECUTABLE}
  BUILD_ALWAYS ON
  INSTALL_COMMAND ""
  USES_TERMINAL_BUILD ON)
