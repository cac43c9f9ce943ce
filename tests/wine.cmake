# Tests of a Windows build, run under Wine: the x64 build in 64-bit prefixes,
# the x86 build in 32-bit ones. CTest starts each test program through the
# harness (the targets' cross-compiling emulator); one fixture starts the
# shared Wine session first and one ends it last. Where the kernel cannot run
# 32-bit code, the harness exits with 77 and the x86 runs count as skipped.
set(KG_WINE_STATE ${CMAKE_BINARY_DIR}/wine)
math(EXPR KG_WINE_ARCH "${CMAKE_SIZEOF_VOID_P} * 8")
set(KG_WINE_RUN ${PROJECT_SOURCE_DIR}/tests/harness/wine-run --arch ${KG_WINE_ARCH})
set(CMAKE_CROSSCOMPILING_EMULATOR ${KG_WINE_RUN} --state ${KG_WINE_STATE})

add_test(NAME wine_session_start COMMAND ${KG_WINE_RUN} --state ${KG_WINE_STATE} cmd /c exit 0)
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine SKIP_RETURN_CODE 77)
add_test(NAME wine_session_stop COMMAND ${KG_WINE_RUN} --state ${KG_WINE_STATE} --stop)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine SKIP_RETURN_CODE 77)

# Private locales for runs in a double-byte code page (932).
set(KG_LOCALE_DIR ${CMAKE_BINARY_DIR}/locale)
add_test(NAME locales_build COMMAND sh -c
  "mkdir -p '${KG_LOCALE_DIR}' && localedef -i ja_JP -f UTF-8 '${KG_LOCALE_DIR}/ja_JP.UTF-8' && localedef -i en_US -f UTF-8 '${KG_LOCALE_DIR}/en_US.UTF-8'")
set_tests_properties(locales_build PROPERTIES FIXTURES_SETUP locales)

# What the Windows tests share (tests/support): the message-box recorder.
add_library(kg_test_support STATIC ${CMAKE_CURRENT_SOURCE_DIR}/support/message_boxes.cpp)
target_link_libraries(kg_test_support PUBLIC kgframework gtest kg_options)

# kg_wine_test(NAME SOURCES... [LIBS lib...] [OWN_MACHINE [THEN command]] [PACKED]):
# a GoogleTest program run under Wine as one CTest entry. OWN_MACHINE: it runs
# in a fresh prefix of its own (for tests that install services and files for
# real); THEN: a shell command that the entry runs next. PACKED: the build
# packs the sample payload onto it, as onto the installer.
function(kg_wine_test name)
  cmake_parse_arguments(arg "OWN_MACHINE;PACKED" "THEN" "LIBS" ${ARGN})
  add_executable(${name} ${arg_UNPARSED_ARGUMENTS})
  target_link_libraries(${name} PRIVATE gtest gtest_main kg_options kg_test_support ${arg_LIBS})
  if(arg_OWN_MACHINE)
    set(run ${KG_WINE_RUN} --state ${KG_WINE_STATE} --prefix ${KG_WINE_STATE}/${name} --fresh $<TARGET_FILE:${name}>)
    list(JOIN run " " run)
    add_test(NAME ${name} COMMAND sh -ec "${run}\n${arg_THEN}")
  else()
    set_target_properties(${name} PROPERTIES CROSSCOMPILING_EMULATOR "${CMAKE_CROSSCOMPILING_EMULATOR}")
    add_test(NAME ${name} COMMAND ${name})
  endif()
  set_tests_properties(${name} PROPERTIES FIXTURES_REQUIRED wine SKIP_RETURN_CODE 77)
  if(arg_PACKED)
    add_dependencies(${name} kgpack_host ${KG_SAMPLE_TARGETS})
    add_custom_command(TARGET ${name} POST_BUILD
      COMMAND ${KGPACK_EXECUTABLE} pack $<TARGET_FILE:${name}> ${KG_SAMPLE_FILES}
      COMMENT "Packing the sample payload onto ${name}.exe")
  endif()
endfunction()

# A host path as Wine's Z: drive shows it to the Windows programs.
function(kg_windows_path out path)
  string(REPLACE "/" "\\\\" windows "${path}")
  set(${out} "Z:${windows}" PARENT_SCOPE)
endfunction()

add_subdirectory(framework)
add_subdirectory(window)
add_subdirectory(controls)
add_subdirectory(payload)
add_subdirectory(kgpack)
add_subdirectory(app)
add_subdirectory(installer)
add_subdirectory(e2e)
add_subdirectory(ui)
