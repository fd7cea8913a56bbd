# vbl_linux_notices(FULL TEMPLATE OUT VERSION): writes OUT, the notices of
# what the Linux vbltool links, from TEMPLATE and the parts of FULL (the
# release's docs/NOTICES.txt) that it names, so that each licence text has one
# home. In TEMPLATE:
#   @PART Title   the part of FULL headed "N. Title", renumbered in the order
#                 of these lines, less its "Linked from:" paragraph (the
#                 Windows link's files; TEMPLATE says what Linux links);
#   @CONTENTS@    the numbered list of those titles;
#   @VERSION@     VERSION.
# A title that FULL does not have is an error: a renamed part is noticed.
# Texts are handled as strings, never as CMake lists: the licences hold ';'.
function(vbl_linux_notices full template out version)
  set(rule "------------------------------------------------------------------------")
  file(READ ${full} full_text)
  file(READ ${template} text)
  set(contents "")
  set(parts "")
  set(number 0)
  # Titles hold no ';', so the @PART lines can be a list.
  string(REGEX MATCHALL "\n@PART [^\n]+" part_lines "\n${text}")
  string(REGEX REPLACE "\n@PART [^\n]*" "" text "\n${text}")
  foreach(line IN LISTS part_lines)
    string(SUBSTRING "${line}" 7 -1 title)
    math(EXPR number "${number} + 1")
    string(REGEX REPLACE "([][+.*()^$?|\\])" "\\\\\\1" title_pattern "${title}")
    if(NOT full_text MATCHES "\n${rule}\n[0-9]+\\. ${title_pattern}\n${rule}\n")
      message(FATAL_ERROR "${full} has no part titled \"${title}\", which ${template} names")
    endif()
    set(heading "${CMAKE_MATCH_0}")
    string(FIND "${full_text}" "${heading}" start)
    string(LENGTH "${heading}" heading_length)
    math(EXPR start "${start} + ${heading_length}")
    string(SUBSTRING "${full_text}" ${start} -1 body)
    string(FIND "${body}" "\n${rule}\n" end)
    if(end GREATER_EQUAL 0)
      string(SUBSTRING "${body}" 0 ${end} body)
    endif()
    string(REGEX REPLACE "(^|\n)Linked from: [^\n]*\n\n" "\\1" body "${body}")
    string(REPLACE "vbltool.exe" "vbltool" body "${body}")
    string(STRIP "${body}" body)
    string(APPEND contents "${number}. ${title}\n")
    string(APPEND parts "\n\n\n${rule}\n${number}. ${title}\n${rule}\n\n${body}")
  endforeach()
  if(number EQUAL 0)
    message(FATAL_ERROR "${template} names no @PART")
  endif()
  string(STRIP "${text}" text)
  string(STRIP "${contents}" contents)
  string(REPLACE "@CONTENTS@" "${contents}" text "${text}")
  string(REPLACE "@VERSION@" "${version}" text "${text}${parts}\n")
  # Rewritten only when it changes, so that nothing depending on it reruns.
  set(old "")
  if(EXISTS ${out})
    file(READ ${out} old)
  endif()
  if(NOT old STREQUAL text)
    file(WRITE ${out} "${text}")
  endif()
  set_property(DIRECTORY APPEND PROPERTY CMAKE_CONFIGURE_DEPENDS ${full} ${template})
endfunction()
