# tav_add_test(NAME <name> SOURCES <files...> LIBS <targets...> [LABELS <labels...>])
# One GoogleTest executable, registered with CTest as a single test so the run stays
# cheap to start; the label "x11" marks display tests that need Xvfb.
function(tav_add_test)
    cmake_parse_arguments(T "" "NAME;TIMEOUT" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${T_NAME} ${T_SOURCES})
    target_link_libraries(${T_NAME} PRIVATE ${T_LIBS} GTest::gtest GTest::gtest_main tav_warnings)
    target_compile_definitions(${T_NAME} PRIVATE
        TAV_TEST_SRCDIR="${PROJECT_SOURCE_DIR}" TAV_TEST_BINDIR="${PROJECT_BINARY_DIR}")
    add_test(NAME ${T_NAME} COMMAND ${T_NAME})
    if(NOT T_TIMEOUT)
        set(T_TIMEOUT 300)
    endif()
    set(labels headless)
    if(T_LABELS)
        set(labels ${T_LABELS})
    endif()
    set_tests_properties(${T_NAME} PROPERTIES LABELS "${labels}" TIMEOUT ${T_TIMEOUT})
    # Display tests drive real windows with time-outs: they run alone, never beside a busy
    # compile-heavy test, so a slow machine cannot starve them.
    if("x11" IN_LIST labels)
        set_tests_properties(${T_NAME} PROPERTIES RUN_SERIAL TRUE)
    endif()
endfunction()
