# GoogleTest from the sources that Debian's googletest package installs.
set(KG_GOOGLETEST_DIR /usr/src/googletest CACHE PATH "GoogleTest source folder")
set(BUILD_GMOCK OFF CACHE BOOL "" FORCE)
set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
if(WIN32)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
endif()
add_subdirectory(${KG_GOOGLETEST_DIR} ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
if(WIN32)
  # GoogleTest needs std::mutex and std::condition_variable, which the win32
  # thread model lacks: the test build (never the product) gets both.
  foreach(target gtest gtest_main)
    target_compile_options(${target} PUBLIC -include ${PROJECT_SOURCE_DIR}/tests/support/mutex_shim.h)
  endforeach()
endif()
