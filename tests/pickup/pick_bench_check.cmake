# Runs the benchmark driver on a small file with all four list files and compares the result file
# it writes with the expected one: the same lines, byte for byte, each ending in CR LF. The driver
# sorts the results before it saves them, so the lines are compared in sorted order. Then, with
# GENERATOR, the data generator writes a small file with some lines that do not fit, and the driver
# loads it (every line a row or a rejected line) and picks some of its rows.
#   cmake -DDRIVER=... [-DGENERATOR=...] -DDATA=... -DWORK=... -P pick_bench_check.cmake
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

if(GENERATOR)
  set(rows 3000)
  execute_process(
    COMMAND "${GENERATOR}" --rows ${rows} --seed 7 --bad-share 0.02 --out "${WORK}/generated.csv"
    RESULT_VARIABLE rc ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "vornel_gen_data failed (${rc}):\n${err}")
  endif()
  # The generator's notes column (column 9) holds "ok" in some of its texts.
  file(WRITE "${WORK}/ok.lst" "\"9\",\"ok\"\r\n")
  execute_process(
    COMMAND "${DRIVER}" --data "${WORK}/generated.csv" --in-or "${WORK}/ok.lst"
            --out "${WORK}/generated-result.txt"
    RESULT_VARIABLE rc OUTPUT_VARIABLE out ERROR_VARIABLE err)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "vornel_pick_bench failed on the generated file (${rc}):\n${out}\n${err}")
  endif()
  if(NOT out MATCHES "(^|\n)rows=([0-9]+)\n")
    message(FATAL_ERROR "no rows= in:\n${out}")
  endif()
  set(loaded ${CMAKE_MATCH_2})
  if(NOT out MATCHES "(^|\n)rejected=([0-9]+)\n")
    message(FATAL_ERROR "no rejected= in:\n${out}")
  endif()
  set(rejected ${CMAKE_MATCH_2})
  math(EXPR handled "${loaded} + ${rejected}")
  if(NOT out MATCHES "(^|\n)picked=([0-9]+)\n")
    message(FATAL_ERROR "no picked= in:\n${out}")
  endif()
  set(picked ${CMAKE_MATCH_2})
  if(NOT handled EQUAL rows OR rejected EQUAL 0 OR picked EQUAL 0 OR NOT picked LESS loaded)
    message(FATAL_ERROR "the generated file of ${rows} lines gave:\n${out}")
  endif()
endif()
file(REMOVE_RECURSE "${WORK}")
