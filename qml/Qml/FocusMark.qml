import QtQuick 2.0

// The keyboard's mark on a control: a thin outline just outside it, shown only
// while the control has the keyboard focus. A click gives no control the focus,
// so a wizard used with the mouse looks as it always did.
Rectangle {
    property real gap: 3
    property real controlRadius: 0

    x: -gap
    y: -gap
    width: parent.width + 2 * gap
    height: parent.height + 2 * gap
    radius: controlRadius + gap
    color: "transparent"
    border.width: 2
    border.color: "#0091ED"
    visible: parent.activeFocus
}
