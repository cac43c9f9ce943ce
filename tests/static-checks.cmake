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

# A packed installer signed afterwards, as a release is made, with a certificate
# that openssl makes for the build: the signature holds, and covers the payload
# (the driver's "M" changed to "X" breaks it). The whole-program runs install
# the signed installer.
if(TARGET Kgsetup)
  set(signed ${CMAKE_BINARY_DIR}/signed)
  set(KG_SIGNED_INSTALLER ${signed}/Kgsetup.exe)
  add_custom_command(OUTPUT ${KG_SIGNED_INSTALLER}
    COMMAND ${CMAKE_COMMAND} -E rm -rf ${signed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${signed}
    COMMAND openssl req -x509 -newkey rsa:2048 -nodes -days 2 -subj "/CN=Kgsetup test publisher"
      -keyout ${signed}/key.pem -out ${signed}/certificate.pem
    COMMAND osslsigncode sign -certs ${signed}/certificate.pem -key ${signed}/key.pem -n Kgsetup
      -in ${CMAKE_BINARY_DIR}/Kgsetup.exe -out ${KG_SIGNED_INSTALLER}
    DEPENDS KgsetupPacked ${CMAKE_BINARY_DIR}/Kgsetup.exe
    COMMENT "Signing the packed installer with a test certificate" VERBATIM)
  add_custom_target(KgsetupSigned ALL DEPENDS ${KG_SIGNED_INSTALLER})
  add_test(NAME installer_signing COMMAND sh -ec "
    osslsigncode verify -CAfile certificate.pem -in Kgsetup.exe
    cp Kgsetup.exe changed.exe
    printf X | dd of=changed.exe bs=1 seek=$(stat -c %s ../unpacked/Kgsetup.exe) conv=notrunc status=none
    if osslsigncode verify -CAfile certificate.pem -in changed.exe; then echo 'FAIL: the signature holds with the payload changed'; exit 1; fi"
    WORKING_DIRECTORY ${signed})
endif()
