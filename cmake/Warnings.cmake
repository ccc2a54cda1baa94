# Our own targets build with strict warnings; third-party headers stay quiet
# because they are found as system includes.
function(rq_strict_warnings target)
    if(MSVC)
        target_compile_options(${target} PRIVATE /W4 /WX)
    else()
        target_compile_options(${target} PRIVATE -Wall -Wextra -Werror)
        if(CMAKE_CXX_COMPILER_ID STREQUAL "GNU" AND CMAKE_CXX_COMPILER_VERSION VERSION_LESS 13)
            # GCC 12 reports std::string concatenation inlined at -O3 as overlapping
            # memcpy (GCC bug 105329), a false positive.
            target_compile_options(${target} PRIVATE -Wno-restrict)
        endif()
    endif()
endfunction()
