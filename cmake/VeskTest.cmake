# Debian's python3-can and python3-canmatrix live in the system interpreter's dist-packages: the
# interop tests run scripts with it.
find_program(VESK_SYSTEM_PYTHON python3 PATHS /usr/bin NO_DEFAULT_PATH)
if(NOT VESK_SYSTEM_PYTHON)
  set(VESK_SYSTEM_PYTHON python3)
endif()

# The command that starts a program built here on this host, for scripts that run one: nothing
# natively, Wine for the Windows build (CTest puts Wine before the suites of vesk_add_test itself).
set(VESK_HOST_RUNNER)
if(CMAKE_CROSSCOMPILING AND VESK_WINE)
  set(VESK_HOST_RUNNER ${VESK_WINE})
endif()

# vesk_add_test(<name> SOURCES <files...> [LIBS <targets...>] [LABELS <labels...>] [GUI] [TIMEOUT <s>]
#               [ARGS <arguments...>])
#
# Adds one GoogleTest executable and registers it with CTest. Labels in use:
#   threaded  - the suite starts threads; CI runs these under ThreadSanitizer as well
#   gui       - needs a display; the test runs under `xvfb-run -a`
#   vcan      - needs a kernel with SocketCAN; runs inside the vcan guest
function(vesk_add_test name)
  cmake_parse_arguments(T "GUI" "TIMEOUT" "SOURCES;LIBS;LABELS;ARGS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} GTest::gtest GTest::gmock GTest::gtest_main vesk_options)
  target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR})
  if(T_GUI)
    add_test(NAME ${name} COMMAND xvfb-run -a -s "-screen 0 1280x1024x24" $<TARGET_FILE:${name}>
             ${T_ARGS})
    list(APPEND T_LABELS gui)
  else()
    add_test(NAME ${name} COMMAND ${name} ${T_ARGS})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
    ENVIRONMENT "VESK_INI=${CMAKE_CURRENT_BINARY_DIR}/${name}.d/Vesk.ini;XDG_CONFIG_HOME=${CMAKE_CURRENT_BINARY_DIR}/${name}.d")
endfunction()

# vesk_add_test_run(<name> TARGET <test executable> FILTER <gtest filter> [GUI] [ENV <VAR=value...>]
#                   [LABELS <labels...>])
#
# One more run of a test executable added with vesk_add_test, in a process and settings folder of
# its own: for cases that a process can go through only once (starting and ending the program).
function(vesk_add_test_run name)
  cmake_parse_arguments(T "GUI" "TARGET;FILTER" "ENV;LABELS" ${ARGN})
  if(T_GUI)
    add_test(NAME ${name} COMMAND xvfb-run -a -s "-screen 0 1280x1024x24"
             $<TARGET_FILE:${T_TARGET}> --gtest_filter=${T_FILTER})
    list(APPEND T_LABELS gui)
  else()
    add_test(NAME ${name} COMMAND ${T_TARGET} --gtest_filter=${T_FILTER})
  endif()
  set(_dir ${CMAKE_CURRENT_BINARY_DIR}/${name}.d)
  file(MAKE_DIRECTORY ${_dir})
  set_tests_properties(${name} PROPERTIES TIMEOUT 120 LABELS "${T_LABELS}"
    ENVIRONMENT "VESK_INI=${_dir}/Vesk.ini;XDG_CONFIG_HOME=${_dir};${T_ENV}")
endfunction()
