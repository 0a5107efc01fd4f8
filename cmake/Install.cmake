# `cmake --install` lays out the program folder as it ships:
#   <prefix>/upvane[.exe]           the program
#   <prefix>/config.ini             the versions this upgrade brings and the micro-code policy
#   <prefix>/upgradefile/*.exe      the upgrade programs (in tests and demos: the stand-ins
#                                   from emulator/upgrader; in a real package: the maker's)
# On Linux a desktop entry and the icon; on Windows the runtime the program needs
# beside it, and `cpack` packs the folder into an installer.
install(FILES app/config.ini DESTINATION .)
# The stand-ins where they are built. A real Windows package (without
# UPVANE_WINDOWS_TEST_EQUIPMENT) has none: it takes the maker's programs from
# UPVANE_UPGRADEFILE_DIR (scripts/package-windows sets it).
set(UPVANE_UPGRADEFILE_DIR "" CACHE PATH "Windows release: the folder with the maker's RT48PX_4K.exe and RT48PX.exe")
if(TARGET upgrader_rt48px)
    if(UPVANE_UPGRADEFILE_DIR)
        message(FATAL_ERROR "UPVANE_UPGRADEFILE_DIR: a build with the test equipment ships the stand-ins, not the maker's programs")
    endif()
    install(DIRECTORY ${UPVANE_PROGRAM_DIR}/upgradefile/ DESTINATION upgradefile USE_SOURCE_PERMISSIONS)
elseif(UPVANE_UPGRADEFILE_DIR)
    install(FILES ${UPVANE_UPGRADEFILE_DIR}/RT48PX_4K.exe ${UPVANE_UPGRADEFILE_DIR}/RT48PX.exe DESTINATION upgradefile)
endif()

if(WIN32)
    # A release signs the program where it is installed: in the folder of
    # `cmake --install` and in cpack's own, so the installer carries it signed.
    set(UPVANE_WINDOWS_SIGN_COMMAND "" CACHE FILEPATH "Windows: a program that signs the file it is given in place (scripts/sign-windows)")
    if(UPVANE_WINDOWS_SIGN_COMMAND)
        install(CODE "
            execute_process(COMMAND \"${UPVANE_WINDOWS_SIGN_COMMAND}\" \"\$ENV{DESTDIR}\${CMAKE_INSTALL_PREFIX}/upvane.exe\"
                            RESULT_VARIABLE _signed)
            if(NOT _signed EQUAL 0)
                message(FATAL_ERROR \"signing upvane.exe failed\")
            endif()")
    endif()
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
