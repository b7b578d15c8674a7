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
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quillmark)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_VENDOR Marlowick)
set(CPACK_PACKAGE_CONTACT "Marlowick <quillmark@marlowick.invalid>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "bulk file renamer with a preview of every new name")
set(CPACK_PACKAGE_DESCRIPTION
    "Quillmark renames many files in one go: collect files and folders in a list, choose
what to remove, replace, insert, reorder and number, and see the new name of every file
before anything changes. An existing file is never replaced. The command-line companion
quillmark-cli previews and renames with the same saved schemes.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Vocalith ships inside the package: dpkg-shlibdeps finds it there instead of asking which
# package provides it.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS_PRIVATE_DIRS usr/${QUILLMARK_INSTALL_APPDIR})
# Qt loads its window-system plug-ins at run time, which dpkg-shlibdeps cannot see, and
# Debian's Qt only recommends them; file type icons fall back to Adwaita.
set(CPACK_DEBIAN_PACKAGE_DEPENDS qt6-qpa-plugins)
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS adwaita-icon-theme)
include(CPack)
