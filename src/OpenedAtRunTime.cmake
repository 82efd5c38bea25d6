# chronoteka_opened_at_run_time(<target> <definition> <library file> <include dirs...>): the target opens the
# library with dlopen when it first needs it rather than linking it. It gets the library's soname as the compile
# definition <definition>, the library's headers, and the loader; the library itself is not linked.
function(chronoteka_opened_at_run_time target definition library)
    execute_process(COMMAND ${CMAKE_OBJDUMP} -p ${library} OUTPUT_VARIABLE headers)
    if(NOT headers MATCHES "SONAME +([^\n ]+)")
        message(FATAL_ERROR "No soname found in ${library}")
    endif()
    target_compile_definitions(${target} PRIVATE ${definition}="${CMAKE_MATCH_1}")
    target_include_directories(${target} PRIVATE ${ARGN})
    target_link_libraries(${target} PRIVATE ${CMAKE_DL_LIBS})
endfunction()
