# Project-wide warning set; CI turns warnings into errors.
function(kvx3_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow -Wnon-virtual-dtor -Wold-style-cast
                                             -Wcast-align -Woverloaded-virtual -Wformat=2)
    if(KVX3_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
