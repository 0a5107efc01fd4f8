import QtQuick 2.7

// The result page: the failure half with Restart in the footer, or the success
// half with the versions the upgrade has brought and Finish in the footer.
Item {
    width: parent.width
    height: parent.height
    Accessible.role: Accessible.Pane
    Accessible.name: main.upSuccess === 1 ? success_title.text : failure_title.text

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
            id: failure_title
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
            activeFocusOnTab: true
            Accessible.role: Accessible.Link
            Accessible.name: text
            Accessible.onPressAction: logFolder.open()
            // A held key opens it once.
            Keys.onReturnPressed: if (!event.isAutoRepeat) logFolder.open()
            Keys.onEnterPressed: if (!event.isAutoRepeat) logFolder.open()
            Keys.onSpacePressed: if (!event.isAutoRepeat) logFolder.open()

            FocusMark {}

            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: logFolder.open()
            }
        }
        // Why it failed, in one plain line.
        Text {
            id: cause_txt
            text: main.failureCause
            visible: text !== ""
            font.family: notosans.name
            font.pixelSize: 14
            width: parent.width - 80
            horizontalAlignment: Text.AlignHCenter
            wrapMode: Text.Wrap
            maximumLineCount: 2
            elide: Text.ElideRight
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: log_link.bottom
            anchors.topMargin: 18
            Accessible.role: Accessible.StaticText
            Accessible.name: text
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
            id: success_title
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
        // What the switch reports once found again; a warning with the support
        // address where it is older than the upgrade brings. One line where it
        // fits the panel; a long support address goes under the warning.
        Flow {
            id: check_line
            readonly property bool older: main.checkedFw !== "" && main.olderVersions() !== ""
            visible: main.checkedFw !== ""
            width: Math.min(check_txt.implicitWidth + (older ? check_link.implicitWidth : 0), parent.width - 80)
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: tips.bottom
            anchors.topMargin: 110
            Text {
                id: check_txt
                text: !check_line.older
                      ? qsTr("The RT48PX now reports firmware %1 and micro-code %2.").arg(main.checkedFw).arg(main.checkedUp)
                      : qsTr("Warning: the RT48PX still reports %1, older than this upgrade. Technical support: ")
                        .arg(main.olderVersions())
                color: check_line.older ? "red" : "black"
                font.family: notosans.name
                font.pixelSize: 14
                Accessible.role: Accessible.StaticText
                Accessible.name: text
            }
            SupportLink {
                id: check_link
                visible: check_line.older
            }
        }
    }
}
