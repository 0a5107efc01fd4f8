# `cmake --install` lays out the program folder as it ships:
#   <prefix>/upvane[.exe]           the program
#   <prefix>/config.ini             the versions this upgrade brings and the micro-code policy
#   <prefix>/upgradefile/*.exe      the upgrade programs (in tests and demos: the stand-ins
#                                   from emulator/upgrader; in a real package: the maker's)
# On Linux a desktop entry and the icon; on Windows the runtime the program needs
# beside it, and `cpack` packs the folder into an installer.
install(FILES app/config.ini DESTINATION .)
# The stand-ins where they are built: a real Windows package (without
# UPVANE_WINDOWS_TEST_EQUIPMENT) has none, the maker's programs are put into its
# upgradefile\ before packing.
if(TARGET upgrader_rt48px)
    install(DIRECTORY ${UPVANE_PROGRAM_DIR}/upgradefile/ DESTINATION upgradefile USE_SOURCE_PERMISSIONS)
endif()

if(WIN32)
    include(cmake/WindowsRuntime.cmake)
    include(cmake/WindowsInstaller.cmake)
else()
    # The entry names the program by its installed path, known only at install time.
    install(CODE "
        set(UPVANE_INSTALLED_PROGRAM \"\${CMAKE_INSTALL_PREFIX}/upvane\")
        configure_file(${PROJECT_SOURCE_DIR}/app/upvane.desktop.in ${CMAKE_BINARY_DIR}/upvane.desktop @ONLY)")
    install(FILES ${CMAKE_BINARY_DIR}/upvane.desktop DESTINATION share/applications)
    install(FILES qml/Images/app.png DESTINATION share/icons/hicolor/64x64/apps RENAME upvane.png)
endif()
