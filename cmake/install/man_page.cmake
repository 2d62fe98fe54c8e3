# Makes the man page of one user program from its --help and --version (help2man), compressed
# as Debian installs man pages (gzip -9n: no file name or time inside). Run at build time:
#   cmake -DPROGRAM=path -DNAME=name -DVERSION=x.y.z -DEPOCH=seconds -DHELP2MAN=path -DGZIP=path
#         -DSECTIONS=file.h2m -DPROGRAMS=list.txt -DOUTPUT=name.1.gz -P man_page.cmake
#
# A user program must answer both options at once and without a display (see
# platform/program_info/program_info.h); the build stops with the reason when one does not.

function(ask option out)
  # No display and no data folder of the person building: a program that opens a window or
  # makes its data folder instead of answering fails here, or is stopped after 20 s.
  execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY
                          QT_QPA_PLATFORM=minimal HOME=${work} XDG_DATA_HOME=${work}/data
                          ${PROGRAM} ${option}
                  OUTPUT_VARIABLE text ERROR_VARIABLE errors RESULT_VARIABLE status TIMEOUT 20)
  if(NOT status EQUAL 0)
    message(FATAL_ERROR "${NAME} ${option} ended with '${status}' (${errors}): a user program answers "
                        "--help and --version through ql::AnswerHelpOrVersion before it starts")
  endif()
  set(${out} "${text}" PARENT_SCOPE)
endfunction()

set(work ${OUTPUT}.work)
file(REMOVE_RECURSE ${work})
file(MAKE_DIRECTORY ${work})

ask(--version version)
if(NOT version STREQUAL "${NAME} (Quillet) ${VERSION}\n")
  message(FATAL_ERROR "${NAME} --version says '${version}', not '${NAME} (Quillet) ${VERSION}'")
endif()
ask(--help help)
if(NOT help MATCHES "^Usage: ${NAME}[ \n]")
  message(FATAL_ERROR "${NAME} --help does not start with 'Usage: ${NAME}'")
endif()
if(EXISTS ${work}/data)
  message(FATAL_ERROR "${NAME} made its data folder when asked --help or --version")
endif()

# The summary for the NAME line: the first line after the usage lines that is not indented.
string(REPLACE "\n" ";" lines "${help}")
set(summary "")
foreach(line IN LISTS lines)
  if(line MATCHES "^(Usage:| |$)")
    if(line STREQUAL "" AND NOT summary STREQUAL "")
      break()
    endif()
    continue()
  endif()
  set(summary "${line}")
  break()
endforeach()
if(summary STREQUAL "")
  message(FATAL_ERROR "${NAME} --help has no summary line after its usage")
endif()
string(REGEX REPLACE "\\.$" "" summary "${summary}")

# The shared sections, and the other programs under SEE ALSO.
file(READ ${SECTIONS} sections)
file(STRINGS ${PROGRAMS} programs)
list(REMOVE_ITEM programs ${NAME})
set(see_also "")
foreach(p IN LISTS programs)
  if(NOT see_also STREQUAL "")
    string(APPEND see_also ",\n")
  endif()
  string(APPEND see_also ".BR ${p} (1)")
endforeach()
file(WRITE ${work}/sections.h2m "${sections}\n[SEE ALSO]\n${see_also}\n")

# help2man dates the page by SOURCE_DATE_EPOCH: the release date, not the build's.
set(ENV{SOURCE_DATE_EPOCH} ${EPOCH})
execute_process(COMMAND ${CMAKE_COMMAND} -E env --unset=DISPLAY --unset=WAYLAND_DISPLAY QT_QPA_PLATFORM=minimal
                        HOME=${work} XDG_DATA_HOME=${work}/data
                        ${HELP2MAN} --no-info --no-discard-stderr --section=1 --name=${summary}
                        --include=${work}/sections.h2m --output=${work}/${NAME}.1 ${PROGRAM}
                RESULT_VARIABLE status ERROR_VARIABLE errors TIMEOUT 60)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "help2man failed on ${NAME}: ${errors}")
endif()
execute_process(COMMAND ${GZIP} -9n -c ${work}/${NAME}.1 OUTPUT_FILE ${OUTPUT}.tmp RESULT_VARIABLE status)
if(NOT status EQUAL 0)
  message(FATAL_ERROR "gzip failed on the man page of ${NAME}")
endif()
file(RENAME ${OUTPUT}.tmp ${OUTPUT})
file(REMOVE_RECURSE ${work})
