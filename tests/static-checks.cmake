# Checks of the built Windows files that need no Windows to run them.
if(TARGET Kgsetup)
  add_test(NAME installer_pe_check COMMAND ${PROJECT_SOURCE_DIR}/tests/harness/check-pe
    ${CMAKE_OBJDUMP} ${CMAKE_BINARY_DIR}/Kgsetup.exe ${CMAKE_SIZEOF_VOID_P} ${KGPACK_EXECUTABLE})
endif()

# The program without its payload stays small: x86 at most 128 KB, x64 at most
# 96 KB, read from the PE headers of the packed installer.
if(TARGET Kgsetup)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    set(image_budget 131072)
  else()
    set(image_budget 98304)
  endif()
  add_test(NAME installer_image_size COMMAND ${PROJECT_SOURCE_DIR}/tests/harness/check-image-size
    ${CMAKE_BINARY_DIR}/Kgsetup.exe ${image_budget})
endif()

# A packed installer signed afterwards, as a release is made (osslsigncode,
# a test certificate made by openssl).
if(TARGET Kgsetup)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  add_test(NAME installer_signing COMMAND ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/kgpack/signing_test.py -v)
  set_tests_properties(installer_signing PROPERTIES
    ENVIRONMENT "KG_SOURCE_DIR=${PROJECT_SOURCE_DIR};KG_BUILD_DIR=${CMAKE_BINARY_DIR};KGPACK=${KGPACK_EXECUTABLE}")
endif()
