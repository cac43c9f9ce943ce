# Checks of the built Windows files that need no Windows to run them.
if(TARGET Kgsetup)
  add_test(NAME installer_pe_check COMMAND ${PROJECT_SOURCE_DIR}/tests/harness/check-pe
    ${CMAKE_OBJDUMP} ${CMAKE_BINARY_DIR}/Kgsetup.exe ${CMAKE_SIZEOF_VOID_P} ${KGPACK_EXECUTABLE})
endif()
