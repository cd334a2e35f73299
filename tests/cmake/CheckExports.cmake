# Fails unless the library's dynamic symbol table defines exactly one symbol: GetQuorinAPI.
# Usage: cmake -DLIBRARY=<path> -DNM=<nm> -P CheckExports.cmake
execute_process(COMMAND ${NM} -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE result ERROR_VARIABLE errors)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}: ${errors}")
endif()
string(REPLACE "\n" ";" lines "${listing}")
set(names "")
foreach(line IN LISTS lines)
  if(line MATCHES "^[0-9a-fA-F]* *[A-Za-z] +(.+)$")
    list(APPEND names "${CMAKE_MATCH_1}")
  endif()
endforeach()
list(REMOVE_DUPLICATES names)
if(NOT names STREQUAL "GetQuorinAPI")
  message(FATAL_ERROR "${LIBRARY} exports [${names}], expected exactly [GetQuorinAPI]")
endif()
message(STATUS "${LIBRARY} exports only GetQuorinAPI")
