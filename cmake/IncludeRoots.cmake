# Each library of the system sees only the headers of the libraries it links.
# A library's headers are linked into an include root of its own in the build
# tree, as <folder>/<header>, and that root is its public include directory:
# an include such as "clock/textstyle.h" is found only where the library that
# owns that header is linked, and fails to build anywhere else.
#
# lockapp_layer_sources(<target> <folder> <file>...)
#   adds the files (relative to the calling CMakeLists.txt) to <target> and
#   links each header among them as <folder>/<header> into its include root.
set(LOCKAPP_INCLUDE_ROOTS ${CMAKE_BINARY_DIR}/include)
# Links left over from an earlier layout must not make a header visible to a
# library that no longer owns it.
file(REMOVE_RECURSE ${LOCKAPP_INCLUDE_ROOTS})

function(lockapp_layer_sources target folder)
    target_sources(${target} PRIVATE ${ARGN})
    set(root ${LOCKAPP_INCLUDE_ROOTS}/${target})
    file(MAKE_DIRECTORY ${root}/${folder})
    foreach(file IN LISTS ARGN)
        if(file MATCHES "\\.h$")
            file(CREATE_LINK ${CMAKE_CURRENT_SOURCE_DIR}/${file} ${root}/${folder}/${file} SYMBOLIC)
        endif()
    endforeach()
    target_include_directories(${target} PUBLIC ${root})
endfunction()
