# Byte-compiles every Python program of the tree; fails on any that does not compile. Most of them run only in the
# Windows build or its tests, so this is where a syntax error shows first. The bytecode goes to PYCACHE_DIR in the
# build folder, never beside the sources.
file(GLOB_RECURSE sources
    ${SOURCE_DIR}/scripts/*.py
    ${SOURCE_DIR}/packaging/*.py
    ${SOURCE_DIR}/tests/*.py
    ${SOURCE_DIR}/tools/*.py
    ${SOURCE_DIR}/bench/*.py
    ${SOURCE_DIR}/fuzz/*.py)
if(NOT sources)
    message(FATAL_ERROR "no Python file found under ${SOURCE_DIR}")
endif()
execute_process(COMMAND ${CMAKE_COMMAND} -E env PYTHONPYCACHEPREFIX=${PYCACHE_DIR} ${PYTHON} -m py_compile ${sources}
    RESULT_VARIABLE result)
if(NOT result EQUAL 0)
    message(FATAL_ERROR "Python: a file above does not compile")
endif()
list(LENGTH sources count)
message(STATUS "${count} Python files compile")
