# Writes the .deb's /usr/share/doc/brisk/copyright in Debian's machine-readable
# format from the two notices it stands for, so it never disagrees with them:
#
#   cmake -DLICENSE=<brisk's LICENSE> -DDYGRAPHS_COPYRIGHT=<libjs-dygraphs'
#         copyright> -DDYGRAPHS_JS=<dygraph.min.js> -DOUTPUT=<file>
#         -P debian_copyright.cmake
#
# Both are the Expat (MIT) licence. The file says so for dygraphs only while
# Debian's notice for it still carries the same licence text as brisk's
# LICENSE; when that changes the build stops, so the licence named here is
# looked at again rather than left wrong.
cmake_minimum_required(VERSION 3.25)
foreach(var LICENSE DYGRAPHS_COPYRIGHT DYGRAPHS_JS OUTPUT)
  if(NOT DEFINED ${var})
    message(FATAL_ERROR "debian_copyright.cmake needs -D${var}=...")
  endif()
endforeach()

set(expat_start "Permission is hereby granted")
set(expat_end "OTHER DEALINGS IN THE SOFTWARE.")

# split_notice(<text> <prefix>): <prefix>_head (the notice before the licence
# text), <prefix>_licence and <prefix>_tail (what follows it).
function(split_notice text prefix source)
  # The phrases as the notice wraps them.
  string(REPLACE "." "\\." start_pattern "${expat_start}")
  string(REPLACE "." "\\." end_pattern "${expat_end}")
  string(REPLACE " " "[ \t\r\n]+" start_pattern "${start_pattern}")
  string(REPLACE " " "[ \t\r\n]+" end_pattern "${end_pattern}")
  string(REGEX MATCH "${start_pattern}" start_text "${text}")
  string(REGEX MATCH "${end_pattern}" end_text "${text}")
  set(start -1)
  set(end -1)
  if(start_text AND end_text)
    string(FIND "${text}" "${start_text}" start)
    string(FIND "${text}" "${end_text}" end)
  endif()
  if(start LESS 0 OR end LESS start)
    message(FATAL_ERROR "${source} no longer holds the Expat licence text: "
                        "review the licence its copyright paragraph names")
  endif()
  string(LENGTH "${end_text}" end_length)
  math(EXPR end "${end} + ${end_length}")
  math(EXPR length "${end} - ${start}")
  string(SUBSTRING "${text}" 0 ${start} head)
  string(SUBSTRING "${text}" ${start} ${length} licence)
  string(SUBSTRING "${text}" ${end} -1 tail)
  string(STRIP "${head}" head)
  string(STRIP "${tail}" tail)
  set(${prefix}_head "${head}" PARENT_SCOPE)
  set(${prefix}_licence "${licence}" PARENT_SCOPE)
  set(${prefix}_tail "${tail}" PARENT_SCOPE)
endfunction()

# holders(<text> <var>): every "Copyright (c) <years> <holder>" line of a
# notice, its indented continuation lines joined to it, as the lines of a
# Copyright field.
function(holders text var)
  string(REGEX MATCHALL "Copyright \\([cC]\\) [^\n]*(\n[ \t]+[^\n]*)*" found "${text}")
  if(NOT found)
    message(FATAL_ERROR "no \"Copyright (c)\" line found in: ${text}")
  endif()
  set(lines "")
  foreach(line IN LISTS found)
    string(REGEX REPLACE "^Copyright \\([cC]\\) " "" line "${line}")
    string(REGEX REPLACE "[ \t]*\n[ \t]+" " " line "${line}")
    string(STRIP "${line}" line)
    string(APPEND lines "\n ${line}")
  endforeach()
  string(STRIP "${lines}" lines)
  set(${var} "${lines}" PARENT_SCOPE)
endfunction()

# field_text(<text> <var>): text as the continuation lines of a field, each
# line indented by one space and an empty line written as " .".
function(field_text text var)
  string(REPLACE "\t" "        " text "${text}")
  string(REGEX REPLACE "[ ]+\n" "\n" text "${text}")
  string(REPLACE "\n" "\n " text "${text}")
  string(REPLACE "\n \n" "\n .\n" text "${text}")
  string(REPLACE "\n \n" "\n .\n" text "${text}")
  set(${var} " ${text}" PARENT_SCOPE)
endfunction()

# collapsed(<text> <var>): the words of a text, one space apart.
function(collapsed text var)
  string(REGEX REPLACE "[ \t\r\n]+" " " text "${text}")
  set(${var} "${text}" PARENT_SCOPE)
endfunction()

file(READ "${LICENSE}" brisk_text)
file(READ "${DYGRAPHS_COPYRIGHT}" dygraphs_text)
split_notice("${brisk_text}" brisk "${LICENSE}")
split_notice("${dygraphs_text}" dygraphs "${DYGRAPHS_COPYRIGHT}")
collapsed("${brisk_licence}" brisk_words)
collapsed("${dygraphs_licence}" dygraphs_words)
if(NOT brisk_words STREQUAL dygraphs_words)
  message(FATAL_ERROR "the licence text of ${DYGRAPHS_COPYRIGHT} differs from brisk's "
                      "Expat text: review the licence its copyright paragraph names")
endif()

holders("${brisk_head}" brisk_holders)
holders("${dygraphs_head}" dygraphs_holders)

# The version from the licence banner of the minified script, when it has one.
file(STRINGS "${DYGRAPHS_JS}" banner LIMIT_COUNT 1)
set(dygraphs_name "dygraphs")
if(banner MATCHES "dygraphs/blob/v([0-9][0-9.]*)/")
  set(dygraphs_name "dygraphs ${CMAKE_MATCH_1}")
endif()

set(notice "${dygraphs_head}")
if(dygraphs_tail)
  string(APPEND notice "\n\n${dygraphs_tail}")
endif()
field_text("${notice}" notice)
field_text("${brisk_licence}" licence)

file(WRITE "${OUTPUT}" "Format: https://www.debian.org/doc/packaging-manuals/copyright-format/1.0/
Upstream-Name: brisk

Files: *
Copyright: ${brisk_holders}
License: Expat

Files: dygraph.min.js dygraph.min.css
Copyright: ${dygraphs_holders}
License: Expat
Comment: ${dygraphs_name}, from Debian's libjs-dygraphs, is inlined into
 usr/bin/brisk at build time and from there into every HTML page brisk
 writes. Debian's notice for libjs-dygraphs, apart from the licence text:
 .
${notice}

License: Expat
${licence}
")
