# Installs the build into a scratch prefix, then configures, builds and runs the consumer
# project against the installed package. Run with -P; BUILD_DIR, SOURCE_DIR, SANITIZE given.
set(scratch ${BUILD_DIR}/package-test)
file(REMOVE_RECURSE ${scratch})
set(prefix ${scratch}/prefix)

function(run_step)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE status OUTPUT_VARIABLE out ERROR_VARIABLE out)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "step failed (${status}): ${ARGN}\n${out}")
  endif()
endfunction()

set(linker_flags "")
if(SANITIZE)
  set(linker_flags "-fsanitize=address,undefined")
endif()
run_step(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
run_step(${CMAKE_COMMAND} -S ${SOURCE_DIR}/tests/package/consumer -B ${scratch}/build
  -DCMAKE_PREFIX_PATH=${prefix} -DCMAKE_EXE_LINKER_FLAGS=${linker_flags})
run_step(${CMAKE_COMMAND} --build ${scratch}/build)
run_step(${scratch}/build/consumer)
