import QtQuick 2.7
import QtQuick.Window 2.2

Window {
    id: main
    width: Screen.desktopAvailableWidth
    height: Screen.desktopAvailableHeight
    visible: true
    flags: Qt.FramelessWindowHint | Qt.WindowMinimizeButtonHint | Qt.Window
    color: "transparent"

    Rectangle {
        id: windows
        width: 1000
        height: 720
        radius: 2
        x: (Screen.width - windows.width) / 2
        y: (Screen.height - windows.height) * 0.5
    }
}
