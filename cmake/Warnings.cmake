# Warning set for every Beatwright target; BEATWRIGHT_WERROR turns them into errors (CI does).
add_library(beatwright_warnings INTERFACE)
target_compile_options(beatwright_warnings INTERFACE
  -Wall -Wextra -Wpedantic -Wshadow -Wconversion -Wsign-conversion
  -Wold-style-cast -Wnon-virtual-dtor -Woverloaded-virtual -Wnull-dereference
  -Wdouble-promotion -Wformat=2 -Wimplicit-fallthrough)
if(BEATWRIGHT_WERROR)
  target_compile_options(beatwright_warnings INTERFACE -Werror)
endif()
