# Installs the build into a scratch prefix, then configures, builds and runs a small project
# that finds the package with find_package(Quorin) and links Quorin::quorin; then builds the
# sample host (examples/sample_host) against the installed package, runs its level and the host
# conformance kit, and reads the pkg-config file.
# Usage: cmake -DBUILD_DIR=<build> -DWORK_DIR=<scratch> -DCONSUMER=<source> -DGENERATOR=<gen>
#              -DSAMPLE=<sample source> -DCHECK_OUTPUT=<CheckOutput.cmake> -P CheckPackage.cmake
file(REMOVE_RECURSE ${WORK_DIR})
set(prefix ${WORK_DIR}/prefix)
function(run)
  execute_process(COMMAND ${ARGN} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT result EQUAL 0)
    message(FATAL_ERROR "failed: ${ARGN}\n${out}\n${err}")
  endif()
  message(STATUS "${out}")
endfunction()
run(${CMAKE_COMMAND} --install ${BUILD_DIR} --prefix ${prefix})
foreach(f include/quorin/quorin.h include/quorin/kvQuorinSystem.h include/quorin/hostcheck.h
          lib/libquorin.so.1 lib/libquorin_hostcheck.a lib/pkgconfig/quorin.pc)
  if(NOT EXISTS ${prefix}/${f})
    message(FATAL_ERROR "not installed: ${f}")
  endif()
endforeach()
run(${CMAKE_COMMAND} -S ${CONSUMER} -B ${WORK_DIR}/consumer -G "${GENERATOR}" -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/consumer)
run(${WORK_DIR}/consumer/quorin_consumer)

# The sample host, built from the installed package alone.
run(${CMAKE_COMMAND} -S ${SAMPLE} -B ${WORK_DIR}/sample -G "${GENERATOR}" -DCMAKE_PREFIX_PATH=${prefix})
run(${CMAKE_COMMAND} --build ${WORK_DIR}/sample)
run(${CMAKE_COMMAND} -DPROGRAM=${WORK_DIR}/sample/sample_host -DEXPECTED=${SAMPLE}/expected_console.txt
    -P ${CHECK_OUTPUT})
run(${WORK_DIR}/sample/sample_hostcheck)

# pkg-config finds the headers and the library in the installed prefix.
find_program(PKG_CONFIG pkg-config)
if(PKG_CONFIG)
  set(ENV{PKG_CONFIG_PATH} ${prefix}/lib/pkgconfig)
  execute_process(COMMAND ${PKG_CONFIG} --cflags --libs quorin RESULT_VARIABLE result OUTPUT_VARIABLE flags)
  if(NOT result EQUAL 0 OR NOT flags MATCHES "-I.*/include" OR NOT flags MATCHES "-lquorin")
    message(FATAL_ERROR "pkg-config --cflags --libs quorin: ${flags}")
  endif()
endif()
