import QtQuick 2.7
import QtQuick.Window 2.2
import QtQuick.Controls 1.4
import QtQuick.Controls 2.5 as QQC2
import QtQuick.Controls.Styles 1.4
import QtQuick.Dialogs 1.2
import QtQuick.Layouts 1.1
import QtGraphicalEffects 1.0

// What the wizard's first frame must show, without the wizard: the same
// imports, the full-window background picture and four lines of text in the
// loaded font at the start screen's sizes (the picture and the font come from
// the wizard's own resources).
Window {
    width: Screen.desktopAvailableWidth
    height: Screen.desktopAvailableHeight
    visible: true
    flags: Qt.FramelessWindowHint | Qt.WindowMinimizeButtonHint | Qt.Window
    color: "transparent"
    FontLoader { id: font; source: "font/NotoSans-Regular.ttf" }
    Rectangle {
        width: 1000; height: 720; x: (Screen.width - width) / 2; y: (Screen.height - height) / 2
        Image { source: "Images/backimg.png" }
        Text { x: 10; y: 8; text: "VELM Upvane"; font.family: font.name; font.pixelSize: 12 }
        Text { x: 60; y: 452; text: "Upvane"; color: "white"; font.family: font.name; font.pixelSize: 40 }
        Text { x: 60; y: 512; text: "RT48PX  Version 1.1.107"; color: "white"; font.family: font.name; font.pixelSize: 20 }
        Text { x: 96; y: 574; text: "Start"; color: "white"; font.family: font.name; font.pixelSize: 16 }
    }
}
