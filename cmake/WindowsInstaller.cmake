# The Windows installer: `cpack` (NSIS) packs the installed folder into
# Upvane-<version>-win64.exe with a Start-menu entry, the application icon, an
# uninstaller and the version in the installer's own properties.
#
# With the test equipment (the stand-in upgrade programs in upgradefile/, which
# write no firmware) its file name, title, folder and version record say so, and
# it installs beside a real release rather than over it.
#
# With UPVANE_WINDOWS_SIGN_COMMAND (Install.cmake) the uninstaller is signed
# before it goes into the installer.
if(UPVANE_WINDOWS_TEST_EQUIPMENT)
    set(_name "VELM Upvane TEST EQUIPMENT")
    set(_title "VELM Upvane TEST EQUIPMENT - writes no firmware")
    set(_file Upvane-${PROJECT_VERSION}-win64-TEST-EQUIPMENT-writes-no-firmware)
else()
    set(_name "VELM Upvane")
    set(_title "VELM Upvane")
    set(_file Upvane-${PROJECT_VERSION}-win64)
endif()
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Upvane)
set(CPACK_PACKAGE_VENDOR VELM)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME ${_file})
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "${_title}")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "${_name}")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "${_name}")
set(CPACK_PACKAGE_EXECUTABLES upvane "${_name}")
set(CPACK_NSIS_PACKAGE_NAME "${_title}")
set(CPACK_NSIS_DISPLAY_NAME "${_title}")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/qml/Images/app.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/qml/Images/app.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME upvane.exe)
# The Start-menu entry starts the program where it lies, not under bin\.
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer (the program is 64-bit), with a version record of its own.
set(CPACK_NSIS_DEFINES "Target amd64-unicode
  VIProductVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=0 ProductName 'VELM Upvane'
  VIAddVersionKey /LANG=0 CompanyName 'VELM'
  VIAddVersionKey /LANG=0 FileDescription '${_title} Setup'
  VIAddVersionKey /LANG=0 FileVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=0 ProductVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=0 LegalCopyright 'VELM'")
if(UPVANE_WINDOWS_SIGN_COMMAND)
    # makensis runs it through the shell; CPack mangles double quotes here.
    string(APPEND CPACK_NSIS_DEFINES "
  !uninstfinalize `'${UPVANE_WINDOWS_SIGN_COMMAND}' '%1'` = 0")
endif()
include(CPack)
