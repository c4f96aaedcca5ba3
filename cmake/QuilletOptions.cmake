# Project-wide compile settings, carried by one INTERFACE target that every
# library, executable and test links.
add_library(quillet_options INTERFACE)
target_compile_features(quillet_options INTERFACE cxx_std_20)
target_compile_options(quillet_options INTERFACE -Wall -Wextra -Wpedantic
                       $<$<BOOL:${QUILLET_WERROR}>:-Werror>)
target_compile_definitions(quillet_options INTERFACE
  QT_NO_KEYWORDS
  QT_NO_FOREACH
  QT_NO_URL_CAST_FROM_STRING
  QT_NO_NARROWING_CONVERSIONS_IN_CONNECT
  QT_NO_CAST_TO_ASCII
  QUILLET_VERSION="${PROJECT_VERSION}")

# Sanitizers for the modules that carry no Qt (text/, net/ and their tests).
add_library(quillet_sanitize INTERFACE)
if(QUILLET_SANITIZE)
  # A finding ends the program with a failure, so that a test cannot pass over it.
  target_compile_options(quillet_sanitize INTERFACE -fsanitize=address,undefined
                         -fno-sanitize-recover=all -fno-omit-frame-pointer)
  target_link_options(quillet_sanitize INTERFACE -fsanitize=address,undefined)
endif()

# quillet_add_test(NAME name SOURCES ... LIBS ... [LABELS ...] [GUI] [SERIAL] [TIMEOUT s])
# One test executable per unit. GUI tests run offscreen, with the browser
# engine's sandbox off (it refuses to start as root otherwise) and a short
# time scale for the designed waits.
function(quillet_add_test)
  cmake_parse_arguments(T "GUI;SERIAL;GTEST" "NAME;TIMEOUT;SCALE" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${T_NAME} ${T_SOURCES})
  target_link_libraries(${T_NAME} PRIVATE quillet_options ${T_LIBS})
  if(T_GTEST)
    target_link_libraries(${T_NAME} PRIVATE GTest::gtest GTest::gtest_main)
  endif()
  add_test(NAME ${T_NAME} COMMAND ${T_NAME})
  set(env "")
  if(T_GUI)
    if(NOT T_SCALE)
      set(T_SCALE 0.02)
    endif()
    list(APPEND env QT_QPA_PLATFORM=offscreen QTWEBENGINE_DISABLE_SANDBOX=1
         "QTWEBENGINE_CHROMIUM_FLAGS=--disable-gpu --no-sandbox"
         QUILLET_TIME_SCALE=${T_SCALE})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  # QtTest aborts a test function after five minutes of its own accord, with
  # a stack trace instead of the failing check's message; a long test (whole
  # terminal runs on a loaded machine) gets the test's own limit instead.
  math(EXPR function_limit_ms "${T_TIMEOUT} * 1000")
  list(APPEND env QTEST_FUNCTION_TIMEOUT=${function_limit_ms})
  set_tests_properties(${T_NAME} PROPERTIES TIMEOUT ${T_TIMEOUT} LABELS "${T_LABELS}"
                       ENVIRONMENT "${env}")
  if(T_SERIAL)
    set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL TRUE)
  endif()
endfunction()
