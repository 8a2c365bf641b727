# SPDX-License-Identifier: MIT
# Fails when a source in DIR includes a header matching FORBIDDEN (a regular expression on what
# follows `#include <` or `#include "`): the layers stay apart by what they include.
file(GLOB sources "${DIR}/*.h" "${DIR}/*.cpp")
foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](${FORBIDDEN})")
    if(includes)
        message(FATAL_ERROR "${source} includes what its layer must not: ${includes}")
    endif()
endforeach()
