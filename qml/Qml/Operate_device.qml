import QtQuick 2.0

// How to connect the device while the main window searches for it. Stage 1
// connects it the first time; stages 2 and 3 unplug it and connect it again.
Item {
    id: operate_device
    width: parent.width
    height: parent.height
    Accessible.role: Accessible.Pane
    Accessible.name: page_title.text

    StepIndicator { id: status1; stage: 1 }
    StepIndicator { id: status2; stage: 2 }
    StepIndicator { id: status3; stage: 3 }

    Rectangle {
        id: operate_main
        width: parent.width
        height: parent.height - 26
        anchors.top: status1.bottom
        color: "transparent"

        Text {
            id: page_title
            text: qsTr(main.operate_device_info.msg)
            font.family: notosans.name
            font.pixelSize: 28
            x: 48
        }
        Text {
            text: main.operate_device_info.status === 1 ? qsTr("Please follow the steps to operate RT48PX:") : qsTr("Please follow the steps to operate RT48PX")
            font.family: notosans.name
            font.pixelSize: 14
            x: 48
            anchors.top: parent.top
            anchors.topMargin: 40
        }

        Row {
            id: operate_img
            y: 120
            x: main.operate_device_info.status === 1 ? 110 : 48
            spacing: main.operate_device_info.status === 1 ? 40 : 0

            Image {
                width: 232
                height: 200
                source: main.operate_device_info.status === 1 ? "../Images/img_01.png" : "../Images/img_04.png"
            }
            Image {
                width: 232
                height: 200
                source: main.operate_device_info.status === 1 ? "../Images/img_02.png" : "../Images/img_05.png"
            }
            Image {
                width: 232
                height: 200
                source: main.operate_device_info.status === 1 ? "../Images/img_03.png" : "../Images/img_06.png"
            }
            Image {
                width: 232
                height: 200
                source: "../Images/img_07.png"
                visible: main.operate_device_info.status !== 1
            }
        }

        Row {
            id: operate_txt
            anchors.top: operate_img.bottom
            anchors.topMargin: 10
            x: main.operate_device_info.status === 1 ? 110 : 48
            spacing: main.operate_device_info.status === 1 ? 60 : 25

            Text {
                width: 212
                font.family: notosans.name
                font.pixelSize: 14
                wrapMode: Text.Wrap
                text: main.operate_device_info.status === 1 ? qsTr("Before connecting the device, press and hold port selection pushbutton.") : qsTr("Please unplug the USB of RT48PX you just inserted.")
            }
            Text {
                width: 212
                font.family: notosans.name
                font.pixelSize: 14
                wrapMode: Text.Wrap
                text: main.operate_device_info.status === 1 ? qsTr("While holding the pushbutton, connect one of the USB ports to this computer.") : qsTr("Before connecting the device, press and hold port selection pushbutton.")
            }
            Text {
                width: 212
                font.family: notosans.name
                font.pixelSize: 14
                wrapMode: Text.Wrap
                text: main.operate_device_info.status === 1 ? qsTr("Confirm the pushbutton's LED light flashing, and you can release the pushbutton.") : qsTr("While holding the pushbutton, connect one of the USB ports to this computer.")
            }
            Text {
                width: 212
                font.family: notosans.name
                font.pixelSize: 14
                wrapMode: Text.Wrap
                text: qsTr("Confirm the pushbutton's LED light flashing, and you can release the pushbutton.")
                visible: main.operate_device_info.status !== 1
            }
        }

        Rectangle {
            id: operate_link
            width: 840
            height: 44
            radius: 12
            color: "#F1F1F1"
            anchors.horizontalCenter: parent.horizontalCenter
            anchors.top: operate_txt.bottom
            anchors.topMargin: 50

            Text {
                text: qsTr("If unable to identify, please try reinsert, if it still not work please contact technical support : ")
                font.family: notosans.name
                font.pixelSize: 14
                anchors.verticalCenter: parent.verticalCenter
                anchors.left: parent.left
                anchors.leftMargin: 25
            }
            SupportLink {
                anchors.verticalCenter: parent.verticalCenter
                anchors.right: parent.right
                anchors.rightMargin: 26
            }
        }
    }
}
