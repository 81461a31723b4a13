# cmake -DNM=... -DLIST=web/exceptions_caught.json -DFILES=a.o|b.a|... -P web/exceptions_check.cmake
# Fails when a function that web/exceptions_caught.json names (mangled) is
# defined in none of FILES. The compiler takes the list as it is: a name that
# stopped matching, because its function's signature changed, would silently
# stop catching, and the run that should end on an exception would abort.
file(READ "${LIST}" json)
string(JSON count LENGTH "${json}")
string(REPLACE "|" ";" FILES "${FILES}")
execute_process(COMMAND "${NM}" ${FILES} OUTPUT_VARIABLE symbols RESULT_VARIABLE status ERROR_VARIABLE errors)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "exceptions_caught.json: ${NM} could not list the program's functions: ${errors}")
endif()
set(missing "")
math(EXPR last "${count} - 1")
foreach(i RANGE ${last})
  string(JSON name GET "${json}" ${i})
  string(FIND "${symbols}" " T ${name}\n" global)
  string(FIND "${symbols}" " t ${name}\n" local)
  if(global EQUAL -1 AND local EQUAL -1)
    string(APPEND missing "\n  ${name}")
  endif()
endforeach()
if(missing)
  message(FATAL_ERROR "web/exceptions_caught.json names functions the program does not define "
                      "(a signature changed? its mangled name must change with it):${missing}")
endif()
