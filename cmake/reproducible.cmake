# One commit gives the same bytes wherever and whenever it is built: file
# names are written relative to the source tree (__FILE__, assertion texts,
# debug information) and the Windows linker writes no time stamp into the
# PE header (its checksum then follows from the bytes alone).
add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>)
if(WIN32)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
