import QtQuick 2.7

// The title bar of the frameless window: drag to move, minimise, close. The
// two buttons take the keyboard focus too and act on Enter or Space.
Item {
    id: headerControl
    width: parent.width
    height: parent.height

    Rectangle {
        id: header
        width: parent.width
        height: parent.height
        color: "#F3F3F3"

        // Declared first so that the buttons lie above it and take their own clicks.
        MouseArea {
            id: dragRegion
            anchors.fill: parent
            property point clickPos: "0,0"
            onPressed: {
                clickPos = Qt.point(mouse.x, mouse.y)
                mouse.accepted = true
            }
            onPositionChanged: {
                var delta = Qt.point(mouse.x - clickPos.x, mouse.y - clickPos.y)
                // The panel may be drawn scaled down: the window follows the pointer.
                main.x = main.x + delta.x * windows.scale
                main.y = main.y + delta.y * windows.scale
            }
            onWheel: {
            }
        }

        Rectangle {
            width: ap_icon.width + title.width + title.anchors.leftMargin
            height: parent.height
            color: "transparent"

            Image {
                id: ap_icon
                source: "../Images/APP_Icon.png"
                width: 16
                height: 16
                anchors.left: parent.left
                anchors.leftMargin: 10
                anchors.verticalCenter: parent.verticalCenter
            }
            Text {
                id: title
                text: qsTr("VELM Upvane")
                font.family: notosans.name
                font.pixelSize: 12
                color: "black"
                anchors.left: ap_icon.right
                anchors.leftMargin: 10
                anchors.verticalCenter: parent.verticalCenter
            }
        }

        Rectangle {
            id: min_rec
            width: 11
            height: 10
            color: "transparent"
            anchors.top: closeButton.top
            anchors.right: closeButton.left
            anchors.rightMargin: 34

            Image {
                id: minButton
                source: "../Images/minimize.png"
                width: 32
                height: 32
                activeFocusOnTab: true
                Accessible.role: Accessible.Button
                Accessible.name: qsTr("Minimize")
                Accessible.onPressAction: main.showMinimized()
                Keys.onReturnPressed: main.showMinimized()
                Keys.onEnterPressed: main.showMinimized()
                Keys.onSpacePressed: main.showMinimized()

                FocusMark {}

                MouseArea {
                    anchors.fill: parent
                    cursorShape: Qt.PointingHandCursor
                    onClicked: main.showMinimized()
                }
            }
        }

        Image {
            id: closeButton
            source: "../Images/Close.png"
            width: 32
            height: 32
            anchors.right: parent.right
            anchors.rightMargin: 7
            anchors.top: parent.top
            // Disabled mid-upgrade: then it takes neither clicks nor keys.
            enabled: main.closebtn === 1
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: qsTr("Close")
            Accessible.description: enabled ? "" : qsTr("unavailable")
            Accessible.onPressAction: if (enabled) Qt.quit()
            Keys.onReturnPressed: Qt.quit()
            Keys.onEnterPressed: Qt.quit()
            Keys.onSpacePressed: Qt.quit()

            FocusMark {}

            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: Qt.quit()
            }
        }
    }
}
