# Runs a program and compares what it prints with a file of expected output, line for line.
# Usage: cmake -DPROGRAM=<program> -DEXPECTED=<file> [-DARGS=<arg;...>] -P CheckOutput.cmake
execute_process(COMMAND ${PROGRAM} ${ARGS} RESULT_VARIABLE result OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "${PROGRAM} exited with ${result}\n${out}\n${err}")
endif()
file(READ ${EXPECTED} expected)
if(NOT out STREQUAL expected)
  file(WRITE ${EXPECTED}.seen "${out}")
  message(FATAL_ERROR "${PROGRAM} printed other lines than ${EXPECTED}; what it printed is in ${EXPECTED}.seen\n${out}")
endif()
