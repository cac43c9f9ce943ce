# Makes a few small packed files with kgpack, and adds the program images of
# seeds/: the fuzzer's starting points.
file(REMOVE_RECURSE ${CORPUS})
file(MAKE_DIRECTORY ${CORPUS}/src)
file(WRITE ${CORPUS}/src/image.exe "MZ program image that the payload follows")
file(WRITE ${CORPUS}/src/a.txt "abc")
file(WRITE ${CORPUS}/src/kestgard.bin "driver bytes")  # not .sys: kgpack would check it as a driver
file(WRITE ${CORPUS}/src/kestgard.dll "message library bytes, a little longer")
file(WRITE ${CORPUS}/src/empty "")
function(pack name)
  execute_process(COMMAND ${KGPACK} pack ${CORPUS}/src/image.exe ${ARGN} -o ${CORPUS}/${name}
    RESULT_VARIABLE result)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "kgpack failed for ${name}")
  endif()
endfunction()
pack(one ${CORPUS}/src/a.txt)
pack(two ${CORPUS}/src/kestgard.bin ${CORPUS}/src/kestgard.dll)
pack(three ${CORPUS}/src/empty ${CORPUS}/src/a.txt ${CORPUS}/src/kestgard.dll)
file(REMOVE_RECURSE ${CORPUS}/src)
# Program images whose headers say where the image ends, and two signed with
# osslsigncode (a test certificate): the trailer before the certificate table.
file(COPY ${SEEDS}/ DESTINATION ${CORPUS})
file(TOUCH ${CORPUS}/.made)
