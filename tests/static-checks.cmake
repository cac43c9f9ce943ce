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
# a test certificate made by openssl): the signature holds and covers the
# payload. The whole-program runs install the signed installer.
if(TARGET Kgsetup)
  find_package(Python3 REQUIRED COMPONENTS Interpreter)
  set(KG_SIGNED_INSTALLER ${CMAKE_BINARY_DIR}/signed/Kgsetup.exe)
  set(signing ${Python3_EXECUTABLE} ${PROJECT_SOURCE_DIR}/tests/harness/signing.py)
  add_custom_command(OUTPUT ${KG_SIGNED_INSTALLER}
    COMMAND ${signing} sign ${CMAKE_BINARY_DIR}/signed ${CMAKE_BINARY_DIR}/Kgsetup.exe ${KG_SIGNED_INSTALLER}
    DEPENDS KgsetupPacked ${CMAKE_BINARY_DIR}/Kgsetup.exe ${PROJECT_SOURCE_DIR}/tests/harness/signing.py
    COMMENT "Signing the packed installer with a test certificate")
  add_custom_target(KgsetupSigned ALL DEPENDS ${KG_SIGNED_INSTALLER})
  add_test(NAME installer_signing COMMAND ${signing} check ${CMAKE_BINARY_DIR}/signed ${KG_SIGNED_INSTALLER}
    ${CMAKE_BINARY_DIR}/unpacked/Kgsetup.exe)
endif()
