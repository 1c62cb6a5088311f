# cmake -DNM=<nm> -DBINARY=<file> -DPATTERN=<regex> -DEXPECT=<absent|present> -P symbols.cmake
#
# Lists the demangled symbols of BINARY and fails when a symbol matching
# PATTERN is there although EXPECT is "absent", or none is although EXPECT is
# "present". The second form keeps the first honest: the pattern must name
# symbols that do exist where the code is meant to be.
foreach(var NM BINARY PATTERN EXPECT)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "symbols.cmake: ${var} is not set")
    endif()
endforeach()

execute_process(COMMAND ${NM} -C ${BINARY}
    OUTPUT_VARIABLE symbols ERROR_VARIABLE errors RESULT_VARIABLE status)
if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NM} -C ${BINARY} failed (${status}): ${errors}")
endif()
if(symbols STREQUAL "")
    message(FATAL_ERROR "${BINARY} lists no symbols at all; nothing can be concluded")
endif()

string(REPLACE "\n" ";" lines "${symbols}")
set(matches)
foreach(line IN LISTS lines)
    if(line MATCHES "${PATTERN}")
        list(APPEND matches "${line}")
    endif()
endforeach()
list(LENGTH matches count)

if(EXPECT STREQUAL "absent" AND count GREATER 0)
    list(JOIN matches "\n  " shown)
    message(FATAL_ERROR "${BINARY} holds ${count} symbol(s) matching ${PATTERN}:\n  ${shown}")
elseif(EXPECT STREQUAL "present" AND count EQUAL 0)
    message(FATAL_ERROR "${BINARY} holds no symbol matching ${PATTERN}")
elseif(NOT EXPECT MATCHES "^(absent|present)$")
    message(FATAL_ERROR "symbols.cmake: EXPECT must be absent or present, not ${EXPECT}")
endif()
message(STATUS "${BINARY}: ${count} symbol(s) matching ${PATTERN}, as expected (${EXPECT})")
