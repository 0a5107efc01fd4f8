import QtQuick 2.0

// The address of the maker's support site, opening it when clicked.
Text {
    text: qsTr("<a href='" + main.supportUrl + "'><font color='black'>" + main.supportUrl + "</font></a>")
    textFormat: Text.RichText
    font.family: notosans.name
    font.pixelSize: 14
    Accessible.role: Accessible.Link
    Accessible.name: main.supportUrl

    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: Qt.openUrlExternally(main.supportUrl)
    }
}
