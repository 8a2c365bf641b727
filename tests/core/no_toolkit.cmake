# SPDX-License-Identifier: MIT
# Fails when any core source includes a Qt header.
file(GLOB sources "${CORE_DIR}/*.h" "${CORE_DIR}/*.cpp")
foreach(source IN LISTS sources)
    file(STRINGS "${source}" includes REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"](Q|qt)")
    if(includes)
        message(FATAL_ERROR "${source} includes a toolkit header: ${includes}")
    endif()
endforeach()
