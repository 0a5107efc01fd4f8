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
    Keys.onReturnPressed: open()
    Keys.onEnterPressed: open()
    Keys.onSpacePressed: open()

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
