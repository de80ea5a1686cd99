# `cmake --install <build> --prefix ~/.local`: the program in bin/, its help topics in
# share/tolvar/help (where the help window looks beside ../share), the desktop entry
# that makes it the handler of ftp:// links, and its icon.
install(TARGETS tolvar RUNTIME DESTINATION bin)
install(DIRECTORY ${PROJECT_SOURCE_DIR}/help/ DESTINATION share/tolvar/help)
# "Product News" in the help menu opens it.
install(FILES ${PROJECT_SOURCE_DIR}/README.md DESTINATION share/tolvar)
install(FILES ${PROJECT_SOURCE_DIR}/data/tolvar.svg
        DESTINATION share/icons/hicolor/scalable/apps)
install(CODE "set(TOLVAR_DESKTOP_TEMPLATE \"${PROJECT_SOURCE_DIR}/data/tolvar.desktop.in\")")
install(SCRIPT ${PROJECT_SOURCE_DIR}/data/desktop-entry.cmake)
