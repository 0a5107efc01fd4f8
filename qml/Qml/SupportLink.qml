import QtQuick 2.7

// The address of the maker's support site, opening it when clicked, or with
// Enter or Space once the keyboard has brought the focus to it.
Text {
    id: supportLink
    text: qsTr("<a href='" + main.supportUrl + "'><font color='black'>" + main.supportUrl + "</font></a>")
    textFormat: Text.RichText
    font.family: notosans.name
    font.pixelSize: 14
    activeFocusOnTab: true
    Accessible.role: Accessible.Link
    Accessible.name: main.supportUrl
    Accessible.onPressAction: open()
    // A held key opens it once.
    Keys.onReturnPressed: if (!event.isAutoRepeat) open()
    Keys.onEnterPressed: if (!event.isAutoRepeat) open()
    Keys.onSpacePressed: if (!event.isAutoRepeat) open()

    function open() {
        Qt.openUrlExternally(main.supportUrl)
    }

    FocusMark {}

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: supportLink.open()
    }
}
