# The Windows programs are released: one commit gives the same bytes wherever
# and whenever it is built. File names are written relative to the source
# tree (__FILE__, assertion texts, debug information), and the linker writes
# no time stamp into the PE header (its checksum then follows from the bytes
# alone). The Linux builds keep their full paths for the debuggers.
if(WIN32)
  add_compile_options($<$<COMPILE_LANGUAGE:C,CXX>:-ffile-prefix-map=${PROJECT_SOURCE_DIR}/=>)
  add_link_options(-Wl,--no-insert-timestamp)
endif()
