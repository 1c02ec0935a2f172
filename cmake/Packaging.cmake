# Install layout and the Debian package.
#
#   PREFIX/lib/vornel/vornel        the program
#   PREFIX/lib/vornel/vornel.txt    the help document (UTF-8), read from the program's folder
#   PREFIX/bin/vornel               launcher: a relative symbolic link to the program, so the
#                                   program's folder is still PREFIX/lib/vornel
#   PREFIX/share/applications/vornel.desktop
#   PREFIX/share/icons/hicolor/<size>/apps/vornel.png
#   PREFIX/share/metainfo/org.example.vornel.metainfo.xml   AppStream (software centres)
#   PREFIX/share/man/man1/vornel.1.gz
#   PREFIX/share/doc/vornel/copyright, changelog.gz         as Debian asks of every package
#
# The installed program's folder is not writable for a user, so the settings file and the
# hand-over file then go to ~/.config/vornel (see AppPaths).

set(VORNEL_PROGRAM_DIR lib/vornel)

install(TARGETS vornel RUNTIME DESTINATION ${VORNEL_PROGRAM_DIR})
install(FILES ${VORNEL_HELP_DOCUMENT} DESTINATION ${VORNEL_PROGRAM_DIR})

set(_vornel_launcher ${CMAKE_BINARY_DIR}/launcher/vornel)
file(MAKE_DIRECTORY ${CMAKE_BINARY_DIR}/launcher)
file(CREATE_LINK ../${VORNEL_PROGRAM_DIR}/vornel ${_vornel_launcher} SYMBOLIC)
install(FILES ${_vornel_launcher} DESTINATION bin)

install(FILES data/vornel.desktop DESTINATION share/applications)
configure_file(data/vornel.metainfo.xml.in
               ${CMAKE_BINARY_DIR}/package-data/org.example.vornel.metainfo.xml @ONLY)
install(FILES ${CMAKE_BINARY_DIR}/package-data/org.example.vornel.metainfo.xml
        DESTINATION share/metainfo)

# The manual page and the changelog are installed compressed, without a time stamp (gzip -n).
set(_vornel_gzipped)
foreach(_file docs/vornel.1 data/package/changelog)
  get_filename_component(_name ${_file} NAME)
  set(_gz ${CMAKE_BINARY_DIR}/package-data/${_name}.gz)
  add_custom_command(OUTPUT ${_gz}
    COMMAND sh -c "gzip -9nc \"$1\" > \"$2\"" gzip ${CMAKE_SOURCE_DIR}/${_file} ${_gz}
    DEPENDS ${CMAKE_SOURCE_DIR}/${_file} VERBATIM)
  list(APPEND _vornel_gzipped ${_gz})
endforeach()
add_custom_target(vornel_package_data ALL DEPENDS ${_vornel_gzipped})
add_dependencies(vornel vornel_package_data)
install(FILES ${CMAKE_BINARY_DIR}/package-data/vornel.1.gz DESTINATION share/man/man1)
install(FILES data/package/copyright ${CMAKE_BINARY_DIR}/package-data/changelog.gz
        DESTINATION share/doc/vornel)

foreach(_size 16 32 48 64 128 256)
  install(FILES data/icons/${_size}x${_size}/vornel.png
          DESTINATION share/icons/hicolor/${_size}x${_size}/apps)
endforeach()

# cpack -G DEB in the build folder makes vornel_<version>_<arch>.deb.
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME vornel)
set(CPACK_PACKAGE_VENDOR "The Vornel developers")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT "The Vornel developers <${VORNEL_MAIL}>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "pick records out of comma-separated text files")
# Lines of the long description, each below 80 characters as Debian asks.
set(CPACK_PACKAGE_DESCRIPTION
  "Vornel is a single-window desktop tool that picks records out of\n"
  "comma-separated text files in code page 932 (Shift_JIS) or UTF-8. Four\n"
  "keyword lists (AND, OR, NOT AND, NOT OR), each entry a column and a phrase\n"
  "or pattern, select the lines, and the result can be copied, sorted, saved,\n"
  "printed or handed on. Large files load and filter in seconds, with a\n"
  "progress bar and a Stop button.")
string(JOIN "" CPACK_PACKAGE_DESCRIPTION ${CPACK_PACKAGE_DESCRIPTION})
set(CPACK_DEBIAN_PACKAGE_MAINTAINER "The Vornel developers <${VORNEL_MAIL}>")
set(CPACK_DEBIAN_PACKAGE_SECTION utils)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "${VORNEL_HOMEPAGE}")
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
# dpkg-shlibdeps (package dpkg-dev) finds the Qt 6 libraries' packages (libqt6core6, libqt6gui6,
# libqt6widgets6, libqt6printsupport6) with their versions; libqt6gui6 also carries the xcb and
# offscreen platform plugins. The Japanese user interface needs a CJK font, and Qt's own texts
# (file dialogs, message-box buttons) their Japanese translation.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-noto-cjk, qt6-translations-l10n")
include(CPack)
