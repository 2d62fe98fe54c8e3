# Installing Quillet like any Linux desktop program: the usual places under the prefix
# (GNUInstallDirs), the user programs with their man pages, the installed data.
#
#   bin/                        the user programs
#   share/quillet/NAME/         each folder data/NAME of the repository (help pages, fonts,
#                               cover templates ...), found by the programs at run time
#                               (platform/data_folder.h, InstalledDataFolder)
#   share/man/man1/             a man page for each user program, made from its --help
#   share/applications/, share/icons/hicolor/, share/metainfo/
#                               the desktop integration from data/desktop/ (QuilletPackage.cmake)
#
# The build folder lays out the same bin/ and share/ folders, so the programs it builds
# find their data there as they do when installed.
include(GNUInstallDirs)

# The user programs. A program made with ql_executable whose name is listed here is
# installed, gets a man page and links ql_program_info (platform/program_info), through
# which its main answers --help and --version; nothing else is needed per program. The
# others (generators, benchmarks, test helpers, ql-demo-data) stay in the build folder.
set(QL_USER_PROGRAMS ql qlpick qlfax qlvmodem ql-print)

option(QL_MAN_PAGES "Make the man pages of the user programs (needs help2man)" ON)
if(QL_MAN_PAGES)
  find_program(QL_HELP2MAN help2man REQUIRED)
  find_program(QL_GZIP gzip REQUIRED)
endif()

set(QL_INSTALL_SCRIPTS ${CMAKE_CURRENT_LIST_DIR}/install)
# Names of the user programs this build makes, one a line (read by the man pages' SEE ALSO
# and by the packaging tests); written once every folder has been read.
set(QL_PROGRAM_LIST ${PROJECT_BINARY_DIR}/user-programs.txt)

# The date of this version's release: the date of the last commit, so that a build of one
# commit always carries the same date (man pages, AppStream release, Debian changelog);
# today's date when the sources are not a git checkout.
execute_process(COMMAND git -C ${PROJECT_SOURCE_DIR} log -1 --format=%cs
                OUTPUT_VARIABLE QL_RELEASE_DATE OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
if(NOT QL_RELEASE_DATE MATCHES "^[0-9]+-[0-9]+-[0-9]+$")
  string(TIMESTAMP QL_RELEASE_DATE "%Y-%m-%d" UTC)
endif()
execute_process(COMMAND date -u -d "${QL_RELEASE_DATE}" +%s OUTPUT_VARIABLE QL_RELEASE_EPOCH
                OUTPUT_STRIP_TRAILING_WHITESPACE)

function(_ql_user_program name)
  target_link_libraries(${name} PRIVATE ql_program_info)
  install(TARGETS ${name} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set_property(GLOBAL APPEND PROPERTY QL_BUILT_USER_PROGRAMS ${name})
  if(NOT QL_MAN_PAGES)
    return()
  endif()
  set(page ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_MANDIR}/man1/${name}.1.gz)
  add_custom_command(OUTPUT ${page}
    COMMAND ${CMAKE_COMMAND} -DPROGRAM=$<TARGET_FILE:${name}> -DNAME=${name} -DVERSION=${PROJECT_VERSION}
            -DEPOCH=${QL_RELEASE_EPOCH} -DHELP2MAN=${QL_HELP2MAN} -DGZIP=${QL_GZIP}
            -DSECTIONS=${PROJECT_BINARY_DIR}/man-sections.h2m -DPROGRAMS=${QL_PROGRAM_LIST} -DOUTPUT=${page}
            -P ${QL_INSTALL_SCRIPTS}/man_page.cmake
    DEPENDS ${name} ${QL_INSTALL_SCRIPTS}/man_page.cmake ${PROJECT_BINARY_DIR}/man-sections.h2m ${QL_PROGRAM_LIST}
    COMMENT "Man page of ${name}"
    VERBATIM)
  add_custom_target(${name}_man_page ALL DEPENDS ${page})
  install(FILES ${page} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endfunction()

# Sections every man page shares: environment, files, where to report problems.
configure_file(${QL_INSTALL_SCRIPTS}/man_sections.h2m.in ${PROJECT_BINARY_DIR}/man-sections.h2m @ONLY)
