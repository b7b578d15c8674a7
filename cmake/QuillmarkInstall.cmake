# Install layout: the program, the command-line companion, Vocalith and the language files
# (installed by lang/) share one folder, because the program finds the language files and
# the library beside its own real path. The commands in bin/ are relative links into that
# folder, so the tree can be moved to any prefix.
install(TARGETS quillmark quillmark-cli vocalith
        RUNTIME DESTINATION ${QUILLMARK_INSTALL_APPDIR}
        LIBRARY DESTINATION ${QUILLMARK_INSTALL_APPDIR})

set(_links ${CMAKE_BINARY_DIR}/install-links)
file(MAKE_DIRECTORY ${_links})
foreach(program quillmark quillmark-cli)
  file(CREATE_LINK ../${QUILLMARK_INSTALL_APPDIR}/${program} ${_links}/${program} SYMBOLIC)
  install(FILES ${_links}/${program} DESTINATION ${CMAKE_INSTALL_BINDIR})
endforeach()

# The Debian package.
set(CPACK_PACKAGE_CONTACT "Marlowick <quillmark@marlowick.invalid>")

# The package's documents: its licence in Debian's machine-readable form and a changelog
# whose one entry is this version, dated with its release date.
set(QUILLMARK_INSTALL_DOCDIR ${CMAKE_INSTALL_DATADIR}/doc/quillmark)
string(REGEX MATCH "^([0-9]+)-([0-9]+)-([0-9]+)$" _date "${QUILLMARK_RELEASE_DATE}")
if(NOT _date)
  message(FATAL_ERROR "QUILLMARK_RELEASE_DATE is not YYYY-MM-DD: ${QUILLMARK_RELEASE_DATE}")
endif()
set(_year ${CMAKE_MATCH_1})
set(_day_text ${CMAKE_MATCH_3})
math(EXPR _month "${CMAKE_MATCH_2}") # "08" becomes 8, a list index
math(EXPR _day "${CMAKE_MATCH_3}")
# The weekday (Sakamoto's method: 0 is Sunday); January and February count as the end of
# the year before.
set(_offsets 0 3 2 5 0 3 5 1 4 6 2 4)
math(EXPR _index "${_month} - 1")
list(GET _offsets ${_index} _offset)
set(_y ${_year})
if(_month LESS 3)
  math(EXPR _y "${_y} - 1")
endif()
math(EXPR _weekday "(${_y} + ${_y} / 4 - ${_y} / 100 + ${_y} / 400 + ${_offset} + ${_day}) % 7")
set(_weekdays Sun Mon Tue Wed Thu Fri Sat)
set(_months Jan Feb Mar Apr May Jun Jul Aug Sep Oct Nov Dec)
list(GET _weekdays ${_weekday} _weekday_name)
list(GET _months ${_index} _month_name)
set(QM_CHANGELOG_DATE "${_weekday_name}, ${_day_text} ${_month_name} ${_year} 00:00:00 +0000")
configure_file(${PROJECT_SOURCE_DIR}/data/debian/changelog.in ${CMAKE_BINARY_DIR}/changelog @ONLY)
# -n leaves the name and time out of the gzip header, so the same version packs alike.
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/changelog.gz
                   COMMAND gzip -9nc changelog > changelog.gz
                   DEPENDS ${CMAKE_BINARY_DIR}/changelog
                   WORKING_DIRECTORY ${CMAKE_BINARY_DIR})
add_custom_target(quillmark_changelog ALL DEPENDS ${CMAKE_BINARY_DIR}/changelog.gz)
install(FILES ${PROJECT_SOURCE_DIR}/data/debian/copyright ${CMAKE_BINARY_DIR}/changelog.gz
        DESTINATION ${QUILLMARK_INSTALL_DOCDIR})

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Marlowick)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bulk file renamer with a preview of every new name")
# dpkg shows each line as it stands, so none may pass 80 columns.
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark renames many files in one go: collect files and folders in a list,
choose what to remove, replace, insert, reorder and number, and see the new
name of every file before anything changes. An existing file is never replaced.
The command-line companion quillmark-cli previews and renames with the same
saved schemes.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Vocalith ships inside the package: dpkg-shlibdeps finds it there instead of asking which
# package provides it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS usr/${QUILLMARK_INSTALL_APPDIR})
# CPack calls ldconfig from postinst and postrm for any library below usr/lib, but the
# programs find libvocalith.so through their RUNPATH ($ORIGIN) and the linker cache has no
# business with it. Naming scripts of those names stops CPack writing its own; a listed
# file that does not exist is left out, so the package has no maintainer scripts at all.
set(CPACK_DEBIAN_PACKAGE_CONTROL_EXTRA ${CMAKE_BINARY_DIR}/no-maintainer-scripts/postinst
                                       ${CMAKE_BINARY_DIR}/no-maintainer-scripts/postrm)
# Qt loads its window-system plug-ins at run time, which dpkg-shlibdeps cannot see, and
# Debian's Qt only recommends them; file type icons fall back to Adwaita.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
# qt6-wayland holds the Wayland plug-in: without it a Wayland session runs the program
# through XWayland and QT_QPA_PLATFORM=wayland stops it.
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "adwaita-icon-theme, qt6-wayland")
include(CPack)
