# The installed-package test: install the QueltoMoves component of BUILD_DIR
# into WORK_DIR/prefix, configure and build the example consumer found in
# CONSUMER_DIR against it (find_package through CMAKE_PREFIX_PATH only), and
# run it on the instance folder INSTANCE_DIR.  Any failing step fails the test.
file(REMOVE_RECURSE ${WORK_DIR})
file(MAKE_DIRECTORY ${WORK_DIR})

function(step what)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${what} failed (${rc}):\n${out}\n${err}")
  endif()
  message(STATUS "${what}: ok\n${out}")
endfunction()

# The core frees nothing before exit, by design: leak reports are off.
if(NOT DEFINED ENV{ASAN_OPTIONS})
  set(ENV{ASAN_OPTIONS} detect_leaks=0)
endif()

step("install" ${CMAKE_COMMAND} --install ${BUILD_DIR} --component QueltoMoves --prefix ${WORK_DIR}/prefix)
step("configure consumer" ${CMAKE_COMMAND} -S ${CONSUMER_DIR} -B ${WORK_DIR}/build
     -DCMAKE_PREFIX_PATH=${WORK_DIR}/prefix -DCMAKE_CXX_COMPILER=${CXX} -DCMAKE_BUILD_TYPE=Release)
step("build consumer" ${CMAKE_COMMAND} --build ${WORK_DIR}/build)
step("run consumer" ${WORK_DIR}/build/quelto-moves-consumer ${INSTANCE_DIR} ${WORK_DIR}/solution.txt)
