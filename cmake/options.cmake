# Compile and link options shared by every target of ours, carried by the
# interface library kg_options so that third-party code (GoogleTest) keeps its own.
add_library(kg_options INTERFACE)
target_compile_options(kg_options INTERFACE -Wall -Wextra -Werror)

# The layers: a library of layer L is compiled with one include folder of its
# own, which holds only L (a link to the source folder L), so that its files
# are reached as "L/file.h"; the layers below it reach it through the
# libraries it links, and nothing else does. An include of a layer that a
# library may not use fails to compile.
function(kg_layer target layer)
  set(view ${CMAKE_BINARY_DIR}/layers/${layer})
  file(MAKE_DIRECTORY ${view})
  file(CREATE_LINK ${PROJECT_SOURCE_DIR}/${layer} ${view}/${layer} SYMBOLIC)
  target_include_directories(${target} PUBLIC ${view})
  # Members have plain names (docs/design.md): nothing may hide one.
  target_compile_options(${target} PRIVATE -Wshadow)
endfunction()

if(WIN32)
  # Headers for NT 4: an API newer than that does not even compile.
  target_compile_definitions(kg_options INTERFACE
    _WIN32_WINNT=0x0400 WINVER=0x0400 _WIN32_IE=0x0400 NOMINMAX STRICT)
  target_compile_options(kg_options INTERFACE -ffunction-sections -fdata-sections)
  # The C and C++ runtimes are linked in: the program needs no MinGW DLL.
  target_link_options(kg_options INTERFACE -static -Wl,--gc-sections)
  # Link-time optimisation for the programs that set KG_LINK_TIME_OPTIMISED
  # (the installer): our objects carry both the optimiser's form and plain
  # code, and every other program (the tests) links the plain code.
  target_compile_options(kg_options INTERFACE -flto -ffat-lto-objects)
  target_link_options(kg_options INTERFACE $<IF:$<BOOL:$<TARGET_PROPERTY:KG_LINK_TIME_OPTIMISED>>,-flto,-fno-lto>)
  if(CMAKE_SIZEOF_VOID_P EQUAL 4)
    target_link_options(kg_options INTERFACE
      -Wl,--major-os-version,4 -Wl,--minor-os-version,0
      -Wl,--major-subsystem-version,4 -Wl,--minor-subsystem-version,0)
  endif()
else()
  option(KG_SANITIZE "Build with address and undefined-behaviour sanitizers" OFF)
  if(KG_SANITIZE)
    target_compile_options(kg_options INTERFACE -fsanitize=address,undefined -fno-omit-frame-pointer -fno-sanitize-recover=all)
    target_link_options(kg_options INTERFACE -fsanitize=address,undefined)
  endif()
endif()
