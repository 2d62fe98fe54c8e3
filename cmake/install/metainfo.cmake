# Makes the AppStream metadata from its template at build time:
#   cmake -DTEMPLATE=file.xml.in -DREADME=README.md -DPROGRAMS=list.txt -DVERSION=x.y.z
#         -DDATE=yyyy-mm-dd -DHOMEPAGE=url -DOUTPUT=file.xml -P metainfo.cmake
# The template's @SCREENSHOTS@ becomes every screenshot the README shows from docs/
# (![caption](docs/name.png)), in the README's order, the first being the default one;
# @BINARIES@ the user programs; @VERSION@, @DATE@ and @HOMEPAGE@ what they say.

function(xml_escape text out)
  string(REPLACE "&" "&amp;" text "${text}")
  string(REPLACE "<" "&lt;" text "${text}")
  string(REPLACE ">" "&gt;" text "${text}")
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

file(STRINGS ${README} lines REGEX "!\\[[^]]*\\]\\(docs/[^)]+\\.png\\)")
set(SCREENSHOTS "")
set(type " type=\"default\"")
foreach(line IN LISTS lines)
  string(REGEX MATCHALL "!\\[[^]]*\\]\\(docs/[^)]+\\.png\\)" shots "${line}")
  foreach(shot IN LISTS shots)
    string(REGEX REPLACE "^!\\[([^]]*)\\]\\((docs/[^)]+)\\)$" "\\1" caption "${shot}")
    string(REGEX REPLACE "^!\\[([^]]*)\\]\\((docs/[^)]+)\\)$" "\\2" image "${shot}")
    xml_escape("${caption}" caption)
    string(APPEND SCREENSHOTS "    <screenshot${type}>\n      <caption>${caption}</caption>\n"
                              "      <image>${HOMEPAGE}/${image}</image>\n    </screenshot>\n")
    set(type "")
  endforeach()
endforeach()
if(SCREENSHOTS STREQUAL "")
  message(FATAL_ERROR "${README} shows no screenshot from docs/ for the AppStream metadata")
endif()

file(STRINGS ${PROGRAMS} programs)
set(BINARIES "")
foreach(p IN LISTS programs)
  string(APPEND BINARIES "    <binary>${p}</binary>\n")
endforeach()

configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
