# What the program ships besides its binaries, laid out in the build folder as an installation
# lays it out (bin/ beside share/varnel-stampora/), so that the program finds it both ways; the
# install rules; and the Debian package.
include(GNUInstallDirs)

set(VSP_SHARED_NAME varnel-stampora)
set(VSP_BUILD_SHARED ${CMAKE_BINARY_DIR}/share/${VSP_SHARED_NAME})
set(VSP_INSTALL_SHARED ${CMAKE_INSTALL_DATADIR}/${VSP_SHARED_NAME})
set(VSP_ICON_SIZES 16 24 32 48 64 128 256)

# The user's manual, opened by Справка → Содержание.
file(GLOB manual_files CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/docs/manual/*)
foreach(file IN LISTS manual_files)
  get_filename_component(name ${file} NAME)
  configure_file(${file} ${VSP_BUILD_SHARED}/manual/${name} COPYONLY)
endforeach()

# Qt's own Russian texts travel with the program, for systems whose Qt has none.
find_file(VSP_QT_TRANSLATION qtbase_ru.qm
          PATHS ${QT6_INSTALL_PREFIX}/${QT6_INSTALL_TRANSLATIONS} /usr/share/qt6/translations
          NO_DEFAULT_PATH)
if(VSP_QT_TRANSLATION)
  configure_file(${VSP_QT_TRANSLATION} ${VSP_BUILD_SHARED}/translations/qtbase_ru.qm COPYONLY)
else()
  message(WARNING "qtbase_ru.qm not found (package qt6-translations-l10n): "
                  "the standard dialogs speak Russian only where Qt has its translation")
endif()

# The helper that keeps one LibreOffice running for the conversions of legacy documents.
configure_file(${CMAKE_SOURCE_DIR}/data/lo-convert.py ${VSP_BUILD_SHARED}/lo-convert.py COPYONLY)

configure_file(${CMAKE_SOURCE_DIR}/data/${VSP_APP_ID}.desktop.in
               ${VSP_BUILD_SHARED}/${VSP_APP_ID}.desktop @ONLY)
configure_file(${CMAKE_SOURCE_DIR}/data/${VSP_APP_ID}.metainfo.xml.in
               ${VSP_BUILD_SHARED}/${VSP_APP_ID}.metainfo.xml @ONLY)

set(icon_files "")
foreach(size IN LISTS VSP_ICON_SIZES)
  list(APPEND icon_files ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${VSP_APP_ID}.png)
endforeach()
add_custom_command(OUTPUT ${icon_files}
                   COMMAND vsp_make_icons ${CMAKE_BINARY_DIR}/icons
                   DEPENDS vsp_make_icons
                   COMMENT "Drawing the program's icons")
add_custom_target(vsp_icons ALL DEPENDS ${icon_files})

install(TARGETS stampora stampora-batch RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
install(FILES ${CMAKE_SOURCE_DIR}/data/glyph_types.ini DESTINATION ${VSP_INSTALL_SHARED})
install(FILES ${VSP_BUILD_SHARED}/lo-convert.py DESTINATION ${VSP_INSTALL_SHARED})
install(DIRECTORY ${VSP_BUILD_SHARED}/manual DESTINATION ${VSP_INSTALL_SHARED})
if(VSP_QT_TRANSLATION)
  install(FILES ${VSP_BUILD_SHARED}/translations/qtbase_ru.qm
          DESTINATION ${VSP_INSTALL_SHARED}/translations)
endif()
install(FILES ${VSP_BUILD_SHARED}/${VSP_APP_ID}.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(FILES ${VSP_BUILD_SHARED}/${VSP_APP_ID}.metainfo.xml
        DESTINATION ${CMAKE_INSTALL_DATADIR}/metainfo)
foreach(size IN LISTS VSP_ICON_SIZES)
  install(FILES ${CMAKE_BINARY_DIR}/icons/${size}x${size}/${VSP_APP_ID}.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()

# cpack -G DEB: the libraries the binaries link come from dpkg-shlibdeps.
set(CPACK_PACKAGE_NAME ${VSP_SHARED_NAME})
set(CPACK_PACKAGE_VENDOR "Varnel")
set(CPACK_PACKAGE_CONTACT "Varnel <stampora@varnel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Varnel Stampora — ${PROJECT_DESCRIPTION}")
set(CPACK_PACKAGE_DESCRIPTION
    "Узкая панель у края экрана: каталог оттисков и листов, встроенный текстовый процессор, "
    "размножение оттисков по шаблонам листов и печать без линий разметки.")
set(CPACK_STRIP_FILES ON)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION graphics)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE ${PROJECT_HOMEPAGE_URL})
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
# Fonts with Cyrillic for the panel and the documents; the metric twins of the usual document
# fonts, so that pages break as in the word processors; LibreOffice only reads and writes legacy
# files, through python3-uno when it is there.
set(CPACK_DEBIAN_PACKAGE_DEPENDS "fonts-dejavu-core")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS
    "fonts-crosextra-carlito, fonts-crosextra-caladea, fonts-liberation2, libreoffice-writer-nogui | libreoffice-writer, python3-uno")
set(CPACK_DEBIAN_PACKAGE_SUGGESTS "printer-driver-cups-pdf")
include(CPack)
