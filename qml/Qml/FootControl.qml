import QtQuick 2.7

// The footer: the acknowledgement check box and the one button whose text and
// action the main window sets through foot_control_info. Both take the keyboard
// focus; Space toggles the box, Enter or Space presses the button.
Item {
    id: footerControl
    width: parent.width
    height: parent.height

    // The main window's keys: Space and Enter on a page whose focus is on no control.
    function toggleCheck() {
        if (check_img.visible)
            check_img.toggle()
    }
    function pressButton() {
        if (confirm_btn.visible && confirm_btn.enabled)
            confirm_btn.press()
    }

    Rectangle {
        id: footer
        anchors.fill: parent
        color: "#005AA4"

        Image {
            source: "../Images/Logo.png"
            width: 120
            height: 34
            x: 48
            y: 33
        }

        Image {
            id: check_img
            width: 24
            height: 24
            source: main.ischeck ? "../Images/OptionControl_enable.png" : "../Images/OptionControl.png"
            anchors.verticalCenter: parent.verticalCenter
            anchors.left: footer.left
            anchors.leftMargin: 550
            visible: main.foot_control_info.check === 1
            activeFocusOnTab: true
            Accessible.role: Accessible.CheckBox
            Accessible.name: check_txt.text
            Accessible.checkable: true
            Accessible.checked: main.ischeck
            Accessible.onToggleAction: toggle()
            Accessible.onPressAction: toggle()
            // A held key toggles once.
            Keys.onSpacePressed: if (!event.isAutoRepeat) toggle()

            function toggle() {
                main.ischeck = !main.ischeck
                if (main.confirmEn === 1)
                    main.confirmEn = 0
                else
                    main.confirmEn = 1
            }

            FocusMark {
                border.color: "white"
                controlRadius: 2
            }

            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: check_img.toggle()
            }
        }

        Text {
            id: check_txt
            text: qsTr("I have read the above precautions.")
            font.family: notosans.name
            font.pixelSize: 13
            color: "white"
            anchors.left: check_img.right
            anchors.leftMargin: 8
            anchors.verticalCenter: parent.verticalCenter
            visible: check_img.visible
        }

        Rectangle {
            id: confirm_btn
            width: 140
            height: 40
            x: 812
            y: 30
            radius: 4
            enabled: main.confirmEn === 1
            color: enabled ? "#0091ED" : "#DBDBDB"
            visible: main.foot_control_info.confirmvis === 1
            activeFocusOnTab: true
            Accessible.role: Accessible.Button
            Accessible.name: confirm_txt.text
            // Qt 5's accessibility bridge has no disabled state for Qt Quick items.
            Accessible.description: enabled ? "" : qsTr("unavailable")
            Accessible.onPressAction: if (enabled) press()
            Keys.onSpacePressed: press()

            function press() {
                main.mainload = ""
                main.confirmEn = 0
                if (main.foot_control_info.confirmfun !== null && main.foot_control_info.confirmfun !== undefined)
                    main.foot_control_info.confirmfun()
            }

            FocusMark {
                border.color: "white"
                controlRadius: confirm_btn.radius
            }

            Text {
                id: confirm_txt
                text: qsTr(main.foot_control_info.btn)
                font.family: notosans.name
                font.pixelSize: 16
                anchors.centerIn: parent
                color: confirm_btn.enabled ? "white" : "#BABABA"
            }

            MouseArea {
                anchors.fill: parent
                cursorShape: Qt.PointingHandCursor
                onClicked: confirm_btn.press()
            }
        }
    }
}
