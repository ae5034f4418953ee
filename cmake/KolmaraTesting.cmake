# One helper per test kind, so every test binary is built, linked and
# registered the same way.
find_package(GTest REQUIRED)

# kolmara_add_gtest(NAME SOURCES a.cpp b.cpp LIBS lib1 lib2 [ENV VAR=value ...])
function(kolmara_add_gtest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gmock GTest::gtest_main)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300 ENVIRONMENT "${ARG_ENV}")
endfunction()

# kolmara_add_qttest(NAME SOURCES a.cpp LIBS lib1 [ENV VAR=value ...])
# Widget tests run on the offscreen platform with a throw-away settings home.
function(kolmara_add_qttest name)
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;ENV" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  set_target_properties(${name} PROPERTIES AUTOMOC ON)
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} Qt6::Test Qt6::Widgets)
  add_test(NAME ${name} COMMAND ${name})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300
    ENVIRONMENT "QT_QPA_PLATFORM=offscreen;${ARG_ENV}")
endfunction()
