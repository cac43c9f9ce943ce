# Cross build for 64-bit Windows with the win32 thread model: static linking
# then pulls in no winpthreads and the program imports only system DLLs.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)
set(KG_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${KG_MINGW_PREFIX}-gcc-win32)
set(CMAKE_CXX_COMPILER ${KG_MINGW_PREFIX}-g++-win32)
set(CMAKE_RC_COMPILER ${KG_MINGW_PREFIX}-windres)
set(CMAKE_MC_COMPILER ${KG_MINGW_PREFIX}-windmc)
set(CMAKE_FIND_ROOT_PATH /usr/${KG_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
