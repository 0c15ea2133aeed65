# The shared library exports the fourteen functions of its C interface and
# nothing else.
execute_process(COMMAND nm -D --defined-only ${LIBRARY}
  OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "nm failed on ${LIBRARY}")
endif()
string(REGEX MATCHALL "[^\n]+" lines "${listing}")
set(found "")
foreach(line IN LISTS lines)
  string(REGEX REPLACE "^.* " "" name "${line}")
  list(APPEND found ${name})
endforeach()
list(SORT found)
set(expected AccessCOM CloseCOM FlushCOM GetHandleCOM GetMaskCOM GetModLns OpenCOM
  PurgeCOM RxFrame SetMaskCOM SetModLns SetModeCOM TxFrame WaitEventCOM)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
