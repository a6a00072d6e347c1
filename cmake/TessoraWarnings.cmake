# Warning flags shared by every target of the project.
function(tessora_set_warnings target)
  target_compile_options(${target} PRIVATE
    -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wno-sign-conversion
    -Wnon-virtual-dtor -Wold-style-cast -Wcast-align -Woverloaded-virtual
    -Wnull-dereference -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
  if(TESSORA_WERROR)
    target_compile_options(${target} PRIVATE -Werror)
  endif()
endfunction()
