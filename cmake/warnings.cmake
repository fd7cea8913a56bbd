# Warnings are errors in every build. vbl_warnings is linked by every target
# of ours (never by third-party code such as GoogleTest).
add_library(vbl_warnings INTERFACE)
target_compile_options(vbl_warnings INTERFACE
  -Wall -Wextra -Wshadow -Wundef -Wcast-align -Wformat=2 -Werror)
if(WIN32)
  # UTF-8 sources, ANSI literals in Windows-1252 for the French texts.
  target_compile_options(vbl_warnings INTERFACE
    $<$<COMPILE_LANGUAGE:CXX>:-finput-charset=UTF-8 -fexec-charset=CP1252>)
endif()
