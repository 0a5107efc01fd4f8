# What the Windows program needs beside it to start on a machine with nothing
# installed: Qt's DLLs, its Windows platform plugin and image formats, the QML
# modules the documents import, hidapi and the mingw-w64 runtime.
get_target_property(_qt_core_dll Qt5::Core IMPORTED_LOCATION_RELEASE)
get_filename_component(UPVANE_QT_BIN_DIR ${_qt_core_dll} DIRECTORY)
get_filename_component(UPVANE_QT_PREFIX ${UPVANE_QT_BIN_DIR} DIRECTORY)

set(_qt_modules Core Gui Widgets Network Qml QmlModels QmlWorkerScript Quick QuickControls2
    QuickTemplates2 QuickShapes)
list(TRANSFORM _qt_modules REPLACE "(.+)" "${UPVANE_QT_BIN_DIR}/Qt5\\1.dll")
# hidapi's own package names its Windows backend hidapi::winapi behind hidapi::hidapi.
if(TARGET hidapi::winapi)
    set(_hidapi_dll $<TARGET_FILE:hidapi::winapi>)
else()
    set(_hidapi_dll $<TARGET_FILE:hidapi::hidapi>)
endif()
install(FILES ${_qt_modules} ${_hidapi_dll} DESTINATION .)

install(FILES ${UPVANE_QT_PREFIX}/plugins/platforms/qwindows.dll DESTINATION platforms)
install(DIRECTORY ${UPVANE_QT_PREFIX}/plugins/imageformats/ DESTINATION imageformats)
# The QML modules: QtQuick (Window, Controls 1 and 2, Dialogs, Layouts), QtQml, the
# labs modules Dialogs depends on, and QtGraphicalEffects; not the test framework.
install(DIRECTORY ${UPVANE_QT_PREFIX}/qml/ DESTINATION qml PATTERN QtTest EXCLUDE)

# The compiler's runtime, from the toolchain that built the program.
if(MINGW)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libstdc++-6.dll
                    OUTPUT_VARIABLE _libstdcxx OUTPUT_STRIP_TRAILING_WHITESPACE)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=libgcc_s_seh-1.dll
                    OUTPUT_VARIABLE _libgcc OUTPUT_STRIP_TRAILING_WHITESPACE)
    get_filename_component(_compiler_dir ${CMAKE_CXX_COMPILER} DIRECTORY)
    find_file(UPVANE_WINPTHREAD_DLL libwinpthread-1.dll NO_CMAKE_FIND_ROOT_PATH
              HINTS ${_compiler_dir} ${_compiler_dir}/../x86_64-w64-mingw32/lib)
    foreach(dll ${_libstdcxx} ${_libgcc} ${UPVANE_WINPTHREAD_DLL})
        if(NOT EXISTS ${dll})
            message(FATAL_ERROR "mingw-w64 runtime DLL not found: ${dll}")
        endif()
    endforeach()
    install(FILES ${_libstdcxx} ${_libgcc} ${UPVANE_WINPTHREAD_DLL} DESTINATION .)
else()
    # MSVC: its redistributable runtime DLLs.
    set(CMAKE_INSTALL_SYSTEM_RUNTIME_DESTINATION .)
    include(InstallRequiredSystemLibraries)
endif()
