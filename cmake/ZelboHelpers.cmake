# zelbo_add_test(NAME SOURCES ... LIBS ... [LABELS ...] [LAUNCHER command ...])
# One QtTest executable per test class; GUI tests run on the offscreen platform so no display is needed. A launcher
# runs the test inside an environment it sets up (a private session bus).
function(zelbo_add_test name)
    cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS;LAUNCHER" ${ARGN})
    add_executable(${name} ${ARG_SOURCES})
    target_include_directories(${name} PRIVATE ${PROJECT_SOURCE_DIR}/src ${PROJECT_SOURCE_DIR}/tests)
    target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
    if(ARG_LAUNCHER)
        add_test(NAME ${name} COMMAND ${ARG_LAUNCHER} $<TARGET_FILE:${name}>)
    else()
        # The bare target name, which a cross-build's emulator (Wine) is put in front of.
        add_test(NAME ${name} COMMAND ${name})
    endif()
    set_tests_properties(${name} PROPERTIES
        ENVIRONMENT "QT_QPA_PLATFORM=offscreen;ZELBO_SOURCE_DIR=${PROJECT_SOURCE_DIR};ZELBO_BINARY_DIR=${PROJECT_BINARY_DIR}"
        TIMEOUT 300)
    if(ARG_LABELS)
        set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
    endif()
endfunction()
