import QtQuick 2.0

// Precautions before the upgrade, shown after Start and after Restart.
Item {
    id: information_upgrade
    width: parent.width
    height: parent.height
    Accessible.role: Accessible.Pane
    Accessible.name: page_title.text

    Rectangle {
        anchors.fill: parent
        color: "transparent"

        Text {
            id: page_title
            text: qsTr("Information before update")
            font.family: notosans.name
            font.pixelSize: 28
            color: "black"
            x: 36
            y: 60
        }
        Text {
            text: qsTr("Please prepare your RT48PX (with the remote controller connected) in advance. <font color='red'>Do not close this program during the upgrade process</font>, as interrupting the program's execution may result in irreparable issues.")
            textFormat: Text.RichText
            font.family: notosans.name
            font.pixelSize: 14
            x: 38
            y: 120
            width: 600
            wrapMode: Text.Wrap
        }
        Image {
            source: "../Images/img.png"
            width: 1000
            height: 209
            x: 0
            y: 271
        }
    }
}
