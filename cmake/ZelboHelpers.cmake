# zelbo_add_test(NAME SOURCES ... LIBS ... [LABELS ...])
# One QtTest executable per test class; GUI tests run on the offscreen platform so no display is needed.
function(zelbo_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZELBO_SOURCE_DIR=${PROJECT_SOURCE_DIR};ZELBO_BINARY_DIR=${PROJECT_BINARY_DIR}"
        TIMEOUT 300)
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
