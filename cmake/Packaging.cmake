# Installation (cmake --install) and the Debian package (cpack -G DEB).
# Included last from the top CMakeLists.txt, once every program target exists.
include(GNUInstallDirs)

find_package(Qt6 6.4 REQUIRED COMPONENTS Svg)

# --- application icons: the SVG source rendered to the hicolor sizes --------------------------
set(QUORVEL_ICON_SOURCE ${PROJECT_SOURCE_DIR}/app/icons/quorvel.svg)
set(QUORVEL_ICON_SIZES 16 22 24 32 48 64 128 256)
set(QUORVEL_ICON_DIR ${CMAKE_BINARY_DIR}/packaging/icons/hicolor)

add_executable(quorvel-render-icon ${PROJECT_SOURCE_DIR}/packaging/RenderIcon.cpp)
target_link_libraries(quorvel-render-icon PRIVATE Qt6::Gui Qt6::Svg)
# A build tool only: it lands beside the build's programs but is never installed.
set_target_properties(quorvel-render-icon PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/packaging)

set(icon_files)
foreach(size IN LISTS QUORVEL_ICON_SIZES)
  list(APPEND icon_files ${QUORVEL_ICON_DIR}/${size}x${size}/apps/quorvel.png)
endforeach()
add_custom_command(
  OUTPUT ${icon_files}
  COMMAND quorvel-render-icon ${QUORVEL_ICON_SOURCE} ${QUORVEL_ICON_DIR}/%1x%1/apps/quorvel.png
          ${QUORVEL_ICON_SIZES}
  DEPENDS quorvel-render-icon ${QUORVEL_ICON_SOURCE}
  COMMENT "Rendering the application icon in the hicolor sizes"
  VERBATIM)
add_custom_target(quorvel-icons ALL DEPENDS ${icon_files})

# --- what is installed -------------------------------------------------------------------------
# The programs sit together in one folder: the main program starts itself again and the
# operator program from its own folder.
set(QUORVEL_INSTALLED_PROGRAMS quorvel quorvel-users)
if(TARGET quorvel-bench)
  list(APPEND QUORVEL_INSTALLED_PROGRAMS quorvel-bench)
endif()
install(TARGETS ${QUORVEL_INSTALLED_PROGRAMS} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})

install(FILES ${PROJECT_SOURCE_DIR}/packaging/quorvel.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
foreach(size IN LISTS QUORVEL_ICON_SIZES)
  install(FILES ${QUORVEL_ICON_DIR}/${size}x${size}/apps/quorvel.png
          DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/${size}x${size}/apps)
endforeach()
install(FILES ${QUORVEL_ICON_SOURCE} DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps)
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION ${CMAKE_INSTALL_DATADIR}/doc/quorvel)

# --- the Debian package --------------------------------------------------------------------------
set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME quorvel)
set(CPACK_PACKAGE_VENDOR "Quorvel")
set(CPACK_PACKAGE_CONTACT "Quorvel <support@quorvel.example>")
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "membership-card manager for small shops")
set(CPACK_PACKAGE_DESCRIPTION [=[
Registers customers as members under a card number typed by hand or read by a bar-code
scanner, tops up their cards, charges a card at each visit and looks members up.
Count cards, stored-value cards and unlimited cards; points for every top-up.
The user interface is Chinese.]=])
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_SECTION misc)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
set(CPACK_DEBIAN_PACKAGE_HOMEPAGE "http://www.quorvel.example/")
# dpkg-shlibdeps finds the shared libraries the programs link (Qt, SQLCipher, libcurl); the
# list below names what is loaded at run time instead: the X11/Wayland platform plugins, the
# SVG icon plugin, and the fonts the Chinese texts and the default Kai face are drawn with.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS
    "qt6-qpa-plugins, libqt6svg6, fonts-wqy-microhei | fonts-noto-cjk, fonts-arphic-ukai")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "qt6-image-formats-plugins")
include(CPack)
