# Installing and packaging: `cmake --install build` puts the player, the reference service, the
# shipped data (read from share/ordel/ beside the program's bin/), the desktop entry, the icons
# and the AppStream metainfo where a desktop looks for them; `cpack -G DEB` packs the same tree.
include(GNUInstallDirs)

install(TARGETS ordel RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/
  DESTINATION ${CMAKE_INSTALL_DATADIR}/ordel
  PATTERN icons EXCLUDE
  PATTERN desktop EXCLUDE)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/ordel.desktop
  DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/org.ordel.Ordel.metainfo.xml
  DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/resources/icons/hicolor
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${PROJECT_SOURCE_DIR}/resources/icons/ordel.svg
  DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/resources/desktop/copyright
  DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ordel)
# Debian wants the change log compressed, as its own tools leave it.
set(ORDEL_CHANGELOG ${CMAKE_CURRENT_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${ORDEL_CHANGELOG}
  COMMAND gzip -n -9 -c ${PROJECT_SOURCE_DIR}/resources/desktop/changelog > ${ORDEL_CHANGELOG}
  DEPENDS ${PROJECT_SOURCE_DIR}/resources/desktop/changelog
  VERBATIM)
add_custom_target(ordel_changelog ALL DEPENDS ${ORDEL_CHANGELOG})
install(FILES ${ORDEL_CHANGELOG} DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/ordel)

set(CPACK_PACKAGE_NAME ordel)
set(CPACK_PACKAGE_VENDOR "Ordel")
set(CPACK_PACKAGE_CONTACT "Ordel developers <dev@ordel.org>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "music player joined to an online music service")
set(CPACK_PACKAGE_DESCRIPTION
  "Ordel plays local MP3 and WMA files and the songs of its online music service.\n\
It keeps a library with play lists and smart lists, shows synchronised lyrics,\n\
has a ten-band equaliser, and is controlled by the desktop over MPRIS.")
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_PACKAGE_NAME ordel)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION sound)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from the programs themselves; the display plug-in is loaded, not linked.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# FFmpeg is loaded when the first track plays, not linked, so that scan does not see it: its
# libraries are named here by the major versions the program was built against.
set(ORDEL_FFMPEG_PACKAGES "")
foreach(lib avformat avcodec swresample avutil)
  string(REGEX MATCH "^[0-9]+" major "${FFMPEG_lib${lib}_VERSION}")
  list(APPEND ORDEL_FFMPEG_PACKAGES "lib${lib}${major}")
endforeach()
list(JOIN ORDEL_FFMPEG_PACKAGES ", " ORDEL_FFMPEG_PACKAGES)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, ${ORDEL_FFMPEG_PACKAGES}")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-noto-cjk, dbus-user-session")
set(CPACK_DEBIAN_COMPRESSION_TYPE xz)
include(CPack)

# The installed files validated, the staged player started, and the package checked.
if(NOT ORDEL_FUZZ AND NOT ORDEL_SANITIZE)
  add_test(NAME test_install COMMAND ${PROJECT_SOURCE_DIR}/scripts/check-install ${CMAKE_BINARY_DIR})
  set_tests_properties(test_install PROPERTIES TIMEOUT 600 RUN_SERIAL TRUE
    ENVIRONMENT "SDL_AUDIODRIVER=dummy;QT_QPA_PLATFORM=offscreen")
endif()
