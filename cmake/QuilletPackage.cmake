# What is installed besides the programs, and the Debian package. Included at the end of the
# top CMakeLists.txt, once every program has been defined (see QuilletInstall.cmake).

# The user programs this build makes, for the man pages' SEE ALSO and the packaging tests.
get_property(_ql_programs GLOBAL PROPERTY QL_BUILT_USER_PROGRAMS)
list(SORT _ql_programs)
list(JOIN _ql_programs "\n" _ql_program_lines)
file(CONFIGURE OUTPUT ${QL_PROGRAM_LIST} CONTENT "${_ql_program_lines}\n")

# --- Installed data -------------------------------------------------------------------
# Every folder data/NAME but data/desktop goes to share/quillet/NAME, whole: a file added
# to such a folder, or a new folder, is installed without an edit here. The build folder
# gets a copy in share/quillet/ (copied again when a file changes), so the programs it
# builds find the same files. Resource lists (*.qrc) are for the build only.
set(QL_INSTALLED_DATA_DIR ${CMAKE_INSTALL_DATADIR}/quillet)
file(GLOB _ql_data_folders LIST_DIRECTORIES true CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/data/*)
set(_ql_staged "")
foreach(folder IN LISTS _ql_data_folders)
  get_filename_component(name ${folder} NAME)
  if(NOT IS_DIRECTORY ${folder} OR name STREQUAL "desktop")
    continue()
  endif()
  install(DIRECTORY ${folder}/ DESTINATION ${QL_INSTALLED_DATA_DIR}/${name} PATTERN "*.qrc" EXCLUDE)
  file(GLOB_RECURSE _files RELATIVE ${folder} CONFIGURE_DEPENDS ${folder}/*)
  list(FILTER _files EXCLUDE REGEX "\\.qrc$")
  foreach(f IN LISTS _files)
    set(copy ${PROJECT_BINARY_DIR}/${QL_INSTALLED_DATA_DIR}/${name}/${f})
    add_custom_command(OUTPUT ${copy}
      COMMAND ${CMAKE_COMMAND} -E copy_if_different ${folder}/${f} ${copy}
      DEPENDS ${folder}/${f} VERBATIM)
    list(APPEND _ql_staged ${copy})
  endforeach()
endforeach()
add_custom_target(ql_installed_data ALL DEPENDS ${_ql_staged})

# --- Desktop integration (data/desktop) -----------------------------------------------
# Desktop entries as they are; each icon drawn as an SVG rendered to the sizes desktops use
# (and installed as SVG too); the AppStream metadata made from its template at build time.
find_program(QL_RSVG_CONVERT rsvg-convert REQUIRED)
set(QL_ICON_SIZES 16 22 24 32 48 64 128 256 512)
set(_ql_desktop ${PROJECT_SOURCE_DIR}/data/desktop)
set(_ql_icons_dir ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_DATADIR}/icons/hicolor)

file(GLOB _ql_entries CONFIGURE_DEPENDS ${_ql_desktop}/*.desktop)
install(FILES ${_ql_entries} DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)

file(GLOB _ql_svgs CONFIGURE_DEPENDS ${_ql_desktop}/*.svg)
set(_ql_rendered "")
foreach(svg IN LISTS _ql_svgs)
  get_filename_component(icon ${svg} NAME_WLE)
  foreach(size IN LISTS QL_ICON_SIZES)
    set(png ${_ql_icons_dir}/${size}x${size}/apps/${icon}.png)
    add_custom_command(OUTPUT ${png}
      COMMAND ${CMAKE_COMMAND} -E make_directory ${_ql_icons_dir}/${size}x${size}/apps
      COMMAND ${QL_RSVG_CONVERT} --width=${size} --height=${size} --keep-aspect-ratio --output=${png} ${svg}
      DEPENDS ${svg} VERBATIM)
    install(FILES ${png} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
    list(APPEND _ql_rendered ${png})
  endforeach()
  install(FILES ${svg} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
endforeach()

# The homepage, under which the screenshots of docs/ are published (AppStream wants web
# addresses for them). Set it to the project's real address when it has one.
set(QL_HOMEPAGE "https://quillet.example.org" CACHE STRING "Web address of the project")
file(GLOB _ql_metainfo_templates CONFIGURE_DEPENDS ${_ql_desktop}/*.metainfo.xml.in)
set(_ql_metainfo "")
foreach(template IN LISTS _ql_metainfo_templates)
  get_filename_component(file ${template} NAME)
  string(REGEX REPLACE "\\.in$" "" file ${file})
  set(out ${PROJECT_BINARY_DIR}/${CMAKE_INSTALL_DATADIR}/metainfo/${file})
  add_custom_command(OUTPUT ${out}
    COMMAND ${CMAKE_COMMAND} -DTEMPLATE=${template} -DREADME=${PROJECT_SOURCE_DIR}/README.md
            -DPROGRAMS=${QL_PROGRAM_LIST} -DVERSION=${PROJECT_VERSION} -DDATE=${QL_RELEASE_DATE}
            -DHOMEPAGE=${QL_HOMEPAGE} -DOUTPUT=${out} -P ${QL_INSTALL_SCRIPTS}/metainfo.cmake
    DEPENDS ${template} ${PROJECT_SOURCE_DIR}/README.md ${QL_PROGRAM_LIST} ${QL_INSTALL_SCRIPTS}/metainfo.cmake
    VERBATIM)
  install(FILES ${out} DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
  list(APPEND _ql_metainfo ${out})
endforeach()
add_custom_target(ql_desktop_files ALL DEPENDS ${_ql_rendered} ${_ql_metainfo})

# --- Documents ---------------------------------------------------------------------------
# The copyright file, and the changelog in the form Debian keeps one.
set(QL_MAINTAINER "Quillet developers <quillet@quillet.example.org>")
execute_process(COMMAND date -u -R -d "@${QL_RELEASE_EPOCH}" OUTPUT_VARIABLE QL_RELEASE_RFC2822
                OUTPUT_STRIP_TRAILING_WHITESPACE)
set(QL_DEBIAN_VERSION ${PROJECT_VERSION}-1)
configure_file(${QL_INSTALL_SCRIPTS}/debian/changelog.in ${PROJECT_BINARY_DIR}/debian/changelog.Debian @ONLY)
add_custom_command(OUTPUT ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz
  COMMAND ${QL_GZIP} -9nf -k ${PROJECT_BINARY_DIR}/debian/changelog.Debian
  DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.Debian VERBATIM)
add_custom_target(ql_changelog ALL DEPENDS ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz)
install(FILES ${QL_INSTALL_SCRIPTS}/debian/copyright DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillet)
# Files only the Debian package has: a plain cmake --install leaves this component out.
install(FILES ${PROJECT_BINARY_DIR}/debian/changelog.Debian.gz DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quillet
        COMPONENT debian EXCLUDE_FROM_ALL)
install(FILES ${QL_INSTALL_SCRIPTS}/debian/lintian-overrides DESTINATION ${CMAKE_INSTALL_DATADIR}/lintian/overrides
        RENAME quillet COMPONENT debian EXCLUDE_FROM_ALL)

# --- The Debian package (scripts/package, or cpack -G DEB in a build folder) ----------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillet)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "${QL_MAINTAINER}")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "desktop fax system for fax modems")
set(CPACK_PACKAGE_DESCRIPTION
"Quillet sends faxes through a fax modem on a serial port (USB or RS-232),
receives them while it waits for calls, and keeps every fax in two lists,
outgoing and received, where faxes are archived, cloned, forwarded,
annotated and sorted. It views and prints any fax, makes cover sheets and
quick faxes from templates, and faxes any document printed to the fax
printer. A phone book serves all of it, and a small second program picks
a number from it for the fax printer's dialog.

A virtual fax line (qlvmodem) provides software fax modems on
pseudo-terminals and remote fax machines on a simulated telephone line,
so that everything can be tried without a modem.")
set(CPACK_DEBIAN_PACKAGE_RELEASE 1)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION comm)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "${QL_MAINTAINER}")
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)          # libraries: found by dpkg-shlibdeps in the programs
# What the programs need beside the libraries they link: Qt's platform plugins for any window.
# A part of the project that needs another package at run time adds it with
# set_property(GLOBAL APPEND PROPERTY QL_PACKAGE_DEPENDS package).
get_property(_ql_depends GLOBAL PROPERTY QL_PACKAGE_DEPENDS)
list(PREPEND _ql_depends qt6-qpa-plugins)
list(REMOVE_DUPLICATES _ql_depends)
list(JOIN _ql_depends ", " CPACK_DEBIAN_PACKAGE_DEPENDS)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_SOURCE_GENERATOR "")
# Every component, the Debian one too, in one package.
set(CPACK_DEB_COMPONENT_INSTALL ON)
set(CPACK_COMPONENTS_GROUPING ALL_COMPONENTS_IN_ONE)
include(CPack)
