# The library exports the fourteen functions of its C interface, by their
# undecorated names, and nothing else.
#   cmake -DLIBRARY=libserlink.so -P check_exports.cmake
#   cmake -DLIBRARY=serlink.dll -DOBJDUMP=x86_64-w64-mingw32-objdump -P check_exports.cmake
set(found "")
if(LIBRARY MATCHES "\\.dll$")
  execute_process(COMMAND ${OBJDUMP} -p ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "${OBJDUMP} -p failed on ${LIBRARY}")
  endif()
  # The names follow "[Ordinal/Name Pointer] Table" up to the next empty line,
  # one "[   n] Name" each; brackets would confuse CMake's lists, so they go.
  string(REGEX MATCH "\\[Ordinal/Name Pointer\\] Table\n([^\n]+\n)+" table "${listing}")
  string(REGEX REPLACE "\\[ *[0-9]+\\] " "@" table "${table}")
  string(REGEX MATCHALL "@[^\n]+" entries "${table}")
  foreach(entry IN LISTS entries)
    string(SUBSTRING "${entry}" 1 -1 name)
    list(APPEND found ${name})
  endforeach()
else()
  execute_process(COMMAND nm -D --defined-only ${LIBRARY} OUTPUT_VARIABLE listing RESULT_VARIABLE rc)
  if(NOT rc EQUAL 0)
    message(FATAL_ERROR "nm failed on ${LIBRARY}")
  endif()
  string(REGEX MATCHALL "[^\n]+" lines "${listing}")
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^.* " "" name "${line}")
    list(APPEND found ${name})
  endforeach()
endif()
list(SORT found)
set(expected AccessCOM CloseCOM FlushCOM GetHandleCOM GetMaskCOM GetModLns OpenCOM
  PurgeCOM RxFrame SetMaskCOM SetModLns SetModeCOM TxFrame WaitEventCOM)
list(SORT expected)
if(NOT found STREQUAL expected)
  message(FATAL_ERROR "exported: ${found}\nexpected: ${expected}")
endif()
list(LENGTH found count)
message(STATUS "${LIBRARY}: exactly the ${count} functions of the interface")
