import QtQuick 2.7
import QtQuick.Window 2.2

Window {
    width: Screen.desktopAvailableWidth
    height: Screen.desktopAvailableHeight
    visible: true
    flags: Qt.FramelessWindowHint | Qt.WindowMinimizeButtonHint | Qt.Window
    color: "transparent"
    Rectangle { width: 1000; height: 720; x: (Screen.width - width) / 2; y: (Screen.height - height) / 2 }
}
