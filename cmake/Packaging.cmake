# Installation (`cmake --install build`) and the Debian package (`cpack` in the build folder,
# or `cmake --build build --target package`).
include(GNUInstallDirs)

set(ECUSCAN_PACKAGING ${PROJECT_SOURCE_DIR}/packaging)

# Draws the icon's PNGs; not part of the build: the PNGs are committed.
add_executable(ecuscan-icon EXCLUDE_FROM_ALL ${ECUSCAN_PACKAGING}/icon/DrawIcon.cpp)
target_link_libraries(ecuscan-icon PRIVATE Qt6::Gui)

# The commands and their man pages, compressed as Debian keeps them.
set(ecuscan_man_pages)
foreach(command IN ITEMS ecuscan ecu-sim ecu-csv ecu-log ecu-ports)
  if(NOT TARGET ${command})
    message(STATUS "Packaging: no target ${command}, left out of the installation")
    continue()
  endif()
  install(TARGETS ${command} RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
  set(page ${ECUSCAN_PACKAGING}/man/${command}.1)
  set(packed ${CMAKE_BINARY_DIR}/man/${command}.1.gz)
  add_custom_command(OUTPUT ${packed}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/man
    COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${page} ${packed}
    DEPENDS ${page} VERBATIM)
  list(APPEND ecuscan_man_pages ${packed})
  install(FILES ${packed} DESTINATION ${CMAKE_INSTALL_MANDIR}/man1)
endforeach()
add_custom_target(ecuscan-man-pages ALL DEPENDS ${ecuscan_man_pages})

install(FILES ${ECUSCAN_PACKAGING}/ecuscan.desktop
        DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
install(DIRECTORY ${ECUSCAN_PACKAGING}/icons/hicolor DESTINATION ${CMAKE_INSTALL_DATADIR}/icons)
install(FILES ${ECUSCAN_PACKAGING}/copyright DESTINATION ${CMAKE_INSTALL_DOCDIR})
# Debian keeps a native package's changelog compressed, under this name.
set(packed_changelog ${CMAKE_BINARY_DIR}/changelog.gz)
add_custom_command(OUTPUT ${packed_changelog}
  COMMAND sh -c "gzip -9nc \"$0\" > \"$1\"" ${ECUSCAN_PACKAGING}/changelog ${packed_changelog}
  DEPENDS ${ECUSCAN_PACKAGING}/changelog VERBATIM)
add_custom_target(ecuscan-changelog ALL DEPENDS ${packed_changelog})
install(FILES ${packed_changelog} DESTINATION ${CMAKE_INSTALL_DOCDIR})

set(ECUSCAN_PACKAGE_MAINTAINER "ЭБУ-Сканер developers <ecuscan@example.org>"
    CACHE STRING "Maintainer named in the Debian package")

set(CPACK_GENERATOR DEB)
set(CPACK_PACKAGE_NAME ecuscan)
set(CPACK_PACKAGE_VENDOR "ЭБУ-Сканер")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_CONTACT ${ECUSCAN_PACKAGE_MAINTAINER})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "diagnostic scanner for SOHC and DOHC engine control units")
# One line a line of the control file; an empty line separates paragraphs.
string(CONCAT CPACK_PACKAGE_DESCRIPTION
    "ЭБУ-Сканер polls the engine control unit of a car through a serial port joined\n"
    "to the car's one-wire diagnostic line: it shows the engine values and stored\n"
    "faults, draws them as graphs, drives the unit's actuators, resets it, and\n"
    "records the line to a file that it plays back later without a car.\n"
    "\n"
    "With it come ecu-log (polling without a window, CSV output), ecu-csv\n"
    "(recordings to CSV), ecu-ports (serial devices and the port map) and ecu-sim\n"
    "(a simulated unit on a pseudo-terminal, to try the program without a car).")
set(CPACK_RESOURCE_FILE_LICENSE ${PROJECT_SOURCE_DIR}/LICENSE)
set(CPACK_PACKAGING_INSTALL_PREFIX /usr)
set(CPACK_STRIP_FILES ON)
set(CPACK_DEBIAN_FILE_NAME DEB-DEFAULT)
set(CPACK_DEBIAN_PACKAGE_MAINTAINER ${ECUSCAN_PACKAGE_MAINTAINER})
set(CPACK_DEBIAN_PACKAGE_SECTION electronics)
set(CPACK_DEBIAN_PACKAGE_PRIORITY optional)
# The libraries come from dpkg-shlibdeps; the window also needs a platform plugin to show on
# a desktop and the toolkit's Russian texts for its dialogs and buttons, and its forms name
# faces that fonts-liberation stands in for.
set(CPACK_DEBIAN_PACKAGE_SHLIBDEPS ON)
set(CPACK_DEBIAN_PACKAGE_DEPENDS "qt6-qpa-plugins, qt6-translations-l10n")
set(CPACK_DEBIAN_PACKAGE_RECOMMENDS "fonts-liberation")
include(CPack)
