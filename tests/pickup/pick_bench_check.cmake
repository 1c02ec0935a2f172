# Runs the benchmark driver on a small file with all four list files and compares the result file
# it writes with the expected one: the same lines, byte for byte, each ending in CR LF. The driver
# sorts the results before it saves them, so the lines are compared in sorted order.
#   cmake -DDRIVER=... -DDATA=... -DWORK=... -P pick_bench_check.cmake
file(REMOVE_RECURSE "${WORK}")
file(MAKE_DIRECTORY "${WORK}")
execute_process(
  COMMAND "${DRIVER}" --data "${DATA}/small.csv"
          --in-and "${DATA}/in-and.lst" --in-or "${DATA}/in-or.lst"
          --out-and "${DATA}/out-and.lst" --out-or "${DATA}/out-or.lst"
          --out "${WORK}/result.txt"
  RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "vornel_pick_bench failed (${rc}):\n${out}\n${err}")
endif()
foreach(expected "rows=6" "rejected=1" "picked=3")
  if(NOT out MATCHES "(^|\n)${expected}\n")
    message(FATAL_ERROR "expected ${expected} in:\n${out}")
  endif()
endforeach()
# The lines of a file as hex strings (without their CR LF), sorted.
function(sorted_lines path out)
  file(READ "${path}" hex HEX)
  string(LENGTH "${hex}" n)
  set(lines "")
  set(line "")
  set(i 0)
  while(i LESS n)
    string(SUBSTRING "${hex}" ${i} 2 byte)
    if(byte STREQUAL "0a" AND line MATCHES "0d$")
      string(REGEX REPLACE "0d$" "" line "${line}")
      list(APPEND lines "${line}")
      set(line "")
    else()
      string(APPEND line "${byte}")
    endif()
    math(EXPR i "${i} + 2")
  endwhile()
  if(NOT line STREQUAL "")
    message(FATAL_ERROR "${path}: the last line does not end in CR LF")
  endif()
  list(SORT lines)
  set(${out} "${lines}" PARENT_SCOPE)
endfunction()

sorted_lines("${WORK}/result.txt" got)
sorted_lines("${DATA}/small.expected" want)
if(NOT got STREQUAL want)
  message(FATAL_ERROR "the result file differs from small.expected:\n${got}\n${want}")
endif()
file(REMOVE_RECURSE "${WORK}")
