import QtQuick 2.0

// The result page: the failure half with Restart in the footer, or the success
// half with the versions the upgrade has brought and Finish in the footer.
Item {
    width: parent.width
    height: parent.height

    Component.onCompleted: {
    }

    Rectangle {
        id: fails_rec
        anchors.fill: parent
        color: "transparent"
        visible: main.upSuccess === 0

        StepIndicator { id: status1; stage: 1 }
        StepIndicator { id: status2; stage: 2 }
        StepIndicator { id: status3; stage: 3 }

        Image {
            id: png
            source: "../Images/img_Error.png"
            width: 168
            height: 168
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: status3.bottom
            anchors.topMargin: 100
        }
        Text {
            text: qsTr("Upgrade Fail!")
            font.family: notosans.name
            font.pixelSize: 28
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: png.bottom
            anchors.topMargin: 30
        }
        Text {
            text: qsTr("System update failed, please select \"Restart\" to execute the update process again.")
            font.family: notosans.name
            font.pixelSize: 14
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: png.bottom
            anchors.topMargin: 90
        }
        Text {
            id: link
            text: qsTr("※ If you encounter ongoing update issues, please contact technical support : ")
            font.family: notosans.name
            font.pixelSize: 14
            anchors.left: parent.left
            anchors.leftMargin: 150
            anchors.top: png.bottom
            anchors.topMargin: 120
        }
        SupportLink {
            id: link2
            anchors.left: link.right
            anchors.bottom: link.bottom
        }
        // What to send to technical support: the folder holding the log.
        Text {
            id: log_link
            text: qsTr("Open the folder with the log")
            font.family: notosans.name
            font.pixelSize: 12
            font.underline: true
            color: "#005AA4"
            anchors.left: link.left
            anchors.top: link.bottom
            anchors.topMargin: 12
            Accessible.role: Accessible.Link
            Accessible.name: text

            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: logFolder.open()
            }
        }
    }

    Rectangle {
        id: success_rec
        anchors.fill: parent
        color: "transparent"
        visible: main.upSuccess === 1

        Image {
            id: png_suc
            source: "../Images/img_Approve.png"
            width: 168
            height: 168
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: parent.top
            anchors.topMargin: 140
        }
        Text {
            text: qsTr("Successful !")
            font.family: notosans.name
            font.pixelSize: 28
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: png_suc.bottom
            anchors.topMargin: 30
        }
        Text {
            id: tips
            text: qsTr("Your firmware is upgraded to latest version")
            font.family: notosans.name
            font.pixelSize: 14
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: png_suc.bottom
            anchors.topMargin: 70
        }
        Text {
            text: qsTr("Device F/W:          " + FWVer)
            font.family: notosans.name
            font.pixelSize: 14
            anchors.left: tips.left
            anchors.top: tips.bottom
            anchors.topMargin: 30
        }
        Text {
            text: qsTr("U Code:                " + CodeVer)
            font.family: notosans.name
            font.pixelSize: 14
            anchors.left: tips.left
            anchors.top: tips.bottom
            anchors.topMargin: 65
        }
    }
}
