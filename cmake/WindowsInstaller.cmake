# The Windows installer: `cpack` (NSIS) packs the installed folder into
# Upvane-<version>-win64.exe with a Start-menu entry, the application icon, an
# uninstaller and the version in the installer's own properties.
set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME Upvane)
set(CPACK_PACKAGE_VENDOR VELM)
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME Upvane-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "VELM Upvane")
set(CPACK_PACKAGE_INSTALL_DIRECTORY "VELM Upvane")
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY "VELM Upvane")
set(CPACK_PACKAGE_EXECUTABLES upvane "VELM Upvane")
set(CPACK_NSIS_PACKAGE_NAME "VELM Upvane")
set(CPACK_NSIS_DISPLAY_NAME "VELM Upvane")
set(CPACK_NSIS_MUI_ICON ${PROJECT_SOURCE_DIR}/qml/Images/app.ico)
set(CPACK_NSIS_MUI_UNIICON ${PROJECT_SOURCE_DIR}/qml/Images/app.ico)
set(CPACK_NSIS_INSTALLED_ICON_NAME upvane.exe)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_ENABLE_UNINSTALL_BEFORE_INSTALL ON)
# A 64-bit installer (the program is 64-bit), with a version record of its own.
set(CPACK_NSIS_DEFINES "Target amd64-unicode
  VIProductVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=0 ProductName 'VELM Upvane'
  VIAddVersionKey /LANG=0 CompanyName 'VELM'
  VIAddVersionKey /LANG=0 FileDescription 'VELM Upvane Setup'
  VIAddVersionKey /LANG=0 FileVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=0 ProductVersion ${PROJECT_VERSION}
  VIAddVersionKey /LANG=0 LegalCopyright 'VELM'")
include(CPack)
