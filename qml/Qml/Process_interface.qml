import QtQuick 2.0
import QtQuick.Controls 2.12

// The progress page and the clock of the wizard: the bar advances one unit per
// tick while main.processRun is 1, waits at 90 while main.waitUpgrade is 1 and,
// half a second after 100, unloads itself and calls process_fun.
Item {
    id: processs_interface
    width: parent.width
    height: parent.height
    Accessible.role: Accessible.Pane
    Accessible.name: title.text

    Component.onCompleted: {
        progressBar.value = 0
        main.processRun = 1
    }

    StepIndicator { id: status1; stage: 1 }
    StepIndicator { id: status2; stage: 2 }
    StepIndicator { id: status3; stage: 3 }

    Text {
        id: title
        text: main.operate_device_info.status === 1 ? "Detect the version" : qsTr(main.operate_device_info.msg)
        font.family: notosans.name
        font.pixelSize: 28
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: parent.top
        anchors.topMargin: 236
    }

    Text {
        id: process_txt
        text: qsTr(progressBar.value + " %")
        color: "#005AA4"
        font.family: notosans.name
        font.pixelSize: 32
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: title.bottom
        anchors.topMargin: 20
    }

    ProgressBar {
        id: progressBar
        from: 0
        to: 100
        value: 0
        padding: 0
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: process_txt.bottom
        anchors.topMargin: 30

        background: Rectangle {
            implicitWidth: 720
            implicitHeight: 10
            color: "#D5EBFF"
            radius: 5
        }
        contentItem: Item {
            implicitWidth: 720
            implicitHeight: 10
            Rectangle {
                width: progressBar.visualPosition * parent.width
                height: parent.height
                radius: 5
                color: "#0091ED"
            }
        }
    }

    Text {
        text: qsTr("DO NOT unplug the USB or close this program")
        font.family: notosans.name
        font.pixelSize: 14
        anchors.horizontalCenter: parent.horizontalCenter
        anchors.top: progressBar.bottom
        anchors.topMargin: 10
    }

    Timer {
        id: process_timer
        running: main.processRun === 1
        interval: main.process_interface_info.runtime
        repeat: true
        onTriggered: {
            progressBar.value = progressBar.value + 1
            main.closebtn = 0
            if (main.waitUpgrade === 1 && progressBar.value === 90) {
                main.processRun = 0
            } else if (progressBar.value === 100) {
                main.processRun = 0
                buffer_timer.start()
            }
        }
    }

    Timer {
        id: buffer_timer
        running: false
        interval: 500
        repeat: false
        onTriggered: {
            main.mainload = ""
            if (main.process_interface_info.process_fun !== null)
                main.process_interface_info.process_fun()
            running = false
        }
    }
}
