# Warning flags shared by every target of the project.
function(velda_warnings target)
    target_compile_options(${target} PRIVATE -Wall -Wextra -Wpedantic -Wshadow)
    if(VELDA_WERROR)
        target_compile_options(${target} PRIVATE -Werror)
    endif()
endfunction()
