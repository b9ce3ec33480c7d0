# cmake --install: the program, its menu entry and its icon in the usual places.
include(GNUInstallDirs)
if(TARGET reelwright)
    install(TARGETS reelwright RUNTIME DESTINATION ${CMAKE_INSTALL_BINDIR})
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/../reelwright.desktop
            DESTINATION ${CMAKE_INSTALL_DATADIR}/applications)
    install(FILES ${CMAKE_CURRENT_LIST_DIR}/../icons/src/trayIcon.svg
            DESTINATION ${CMAKE_INSTALL_DATADIR}/icons/hicolor/scalable/apps RENAME reelwright.svg)
endif()
