# cmake -DCXX=<compiler> -DFLAGS=<flag|flag|...> -DHEADER=<header> -DEXPECT=<found|missing>
#       -DPROBE=<file> -P includes.cmake
#
# Compiles a file holding only #include "HEADER" with the flags a library's
# own sources are compiled with, and fails unless the header is found
# (EXPECT=found) or the compiler stops because it cannot find exactly that
# header (EXPECT=missing).
foreach(var CXX FLAGS HEADER EXPECT PROBE)
    if(NOT DEFINED ${var})
        message(FATAL_ERROR "includes.cmake: ${var} is not set")
    endif()
endforeach()

file(WRITE ${PROBE} "#include \"${HEADER}\"\n")
string(REPLACE "|" ";" flags "${FLAGS}")
execute_process(COMMAND ${CXX} ${flags} -fsyntax-only ${PROBE}
    OUTPUT_VARIABLE out ERROR_VARIABLE err RESULT_VARIABLE status)

string(REGEX REPLACE "([][+.*()^$?])" "\\\\\\1" quoted "${HEADER}")
if(EXPECT STREQUAL "missing")
    if(status EQUAL 0)
        message(FATAL_ERROR "\"${HEADER}\" is visible, and must not be:\n${CXX} ${flags}")
    elseif(NOT err MATCHES "${quoted}: No such file or directory")
        message(FATAL_ERROR "the compiler failed, but not for want of \"${HEADER}\":\n${err}")
    endif()
elseif(EXPECT STREQUAL "found")
    if(NOT status EQUAL 0)
        message(FATAL_ERROR "\"${HEADER}\" does not compile here, and must:\n${err}")
    endif()
else()
    message(FATAL_ERROR "includes.cmake: EXPECT must be found or missing, not ${EXPECT}")
endif()
message(STATUS "\"${HEADER}\": ${EXPECT}, as expected")
