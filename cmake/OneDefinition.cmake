# Fails when a function or variable with external linkage is defined twice among the
# static libraries named after the script: a program that links both places gets
# whichever definition the linker reaches first, silently. Weak definitions (inline
# functions, templates) may repeat; the linker merges them.
#
#   cmake -DNM=<nm> -P OneDefinition.cmake <library.a>...
set(libraries)
math(EXPR last "${CMAKE_ARGC} - 1")
foreach(i RANGE ${last})
  if(CMAKE_ARGV${i} STREQUAL "-P")
    math(EXPR first "${i} + 2")
  endif()
endforeach()
if(NOT DEFINED first OR first GREATER last)
  message(FATAL_ERROR "no libraries to check")
endif()
foreach(i RANGE ${first} ${last})
  list(APPEND libraries "${CMAKE_ARGV${i}}")
endforeach()

set(symbols)
foreach(library IN LISTS libraries)
  execute_process(COMMAND ${NM} --defined-only ${library}
                  OUTPUT_VARIABLE listing RESULT_VARIABLE failed)
  if(failed)
    message(FATAL_ERROR "${NM} could not read ${library}")
  endif()
  # Global text, data, read-only data and zero-filled data; lower-case letters are local.
  string(REGEX MATCHALL "\n[0-9a-f]+ [TDRB] [^\n]+" defined "\n${listing}")
  list(TRANSFORM defined REPLACE "^\n[0-9a-f]+ [TDRB] " "")
  list(APPEND symbols ${defined})
endforeach()

list(SORT symbols)
set(twice)
set(previous "")
foreach(symbol IN LISTS symbols)
  if(symbol STREQUAL previous)
    list(APPEND twice "${symbol}")
  endif()
  set(previous "${symbol}")
endforeach()

list(LENGTH symbols count)
if(count EQUAL 0)
  message(FATAL_ERROR "no global symbols read: is ${NM} the right tool?")
endif()
if(twice)
  list(REMOVE_DUPLICATES twice)
  list(JOIN twice "\n  " shown)
  message(FATAL_ERROR "defined more than once:\n  ${shown}")
endif()
message(STATUS "${count} global symbols, each defined once")
