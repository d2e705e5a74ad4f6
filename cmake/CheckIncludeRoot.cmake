# cmake -DCXX=... -DINCLUDES=a|b|... -DALLOWED=x.h -DREFUSED=y.h -DSOURCE_DIR=... -P
# Proves that a library's include directories let through a header it links and refuse
# one of a layer above it, and that no source climbs out of its folder with "../"
# anywhere in an include (the one way around the include roots).
string(REPLACE "|" ";" includes "${INCLUDES}")
set(flags -std=c++20 -fsyntax-only)
foreach(dir IN LISTS includes)
  list(APPEND flags -I${dir})
endforeach()
set(probe ${CMAKE_CURRENT_BINARY_DIR}/include_root_probe.cpp)

file(WRITE ${probe} "#include \"${ALLOWED}\"\n")
execute_process(COMMAND ${CXX} ${flags} ${probe} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(NOT rc EQUAL 0)
  message(FATAL_ERROR "a header the library links did not compile: ${ALLOWED}\n${err}")
endif()

file(WRITE ${probe} "#include \"${ALLOWED}\"\n#include \"${REFUSED}\"\n")
execute_process(COMMAND ${CXX} ${flags} ${probe} RESULT_VARIABLE rc ERROR_VARIABLE err)
if(rc EQUAL 0)
  message(FATAL_ERROR "an upward include compiled: ${REFUSED}")
endif()
string(REPLACE "." "\\." refused_pattern "${REFUSED}")
if(NOT err MATCHES "${refused_pattern}'?:? (No such file|file not found)")
  message(FATAL_ERROR "the upward include failed for another reason than its folder:\n${err}")
endif()

file(GLOB_RECURSE sources ${SOURCE_DIR}/src/*.h ${SOURCE_DIR}/src/*.cpp)
foreach(source IN LISTS sources)
  # "../" anywhere in the name: "sqlgen/../job/x.h" climbs through the root's link.
  file(STRINGS ${source} climbing REGEX "^[ \t]*#[ \t]*include[ \t]*\"([^\"]*/)?\\.\\./")
  if(climbing)
    message(FATAL_ERROR "${source} includes by \"../\": ${climbing}")
  endif()
endforeach()
message(STATUS "${ALLOWED} compiles, ${REFUSED} is refused, no include climbs by ../")
