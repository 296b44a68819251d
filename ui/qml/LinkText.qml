import QtQuick
import QtQuick.Controls
import Benchkit

// A link in the accent colour that opens its address in the default browser.
// Reachable by Tab and opened with Return or Space.
Label {
    id: link
    required property string url
    property RootModel app

    text: url
    color: Theme.accent
    font.pixelSize: Theme.bodySize
    font.underline: true
    wrapMode: Text.WrapAnywhere
    activeFocusOnTab: true
    Accessible.role: Accessible.Link
    Accessible.name: text

    function activate() { link.app.openURL(link.url) }

    Keys.onReturnPressed: activate()
    Keys.onSpacePressed: activate()
    MouseArea {
        anchors.fill: parent
        cursorShape: Qt.PointingHandCursor
        onClicked: link.activate()
    }
    Rectangle {
        anchors.fill: parent
        anchors.margins: -2
        color: "transparent"
        radius: 3
        border.width: 2
        border.color: Theme.focusRing
        visible: link.activeFocus
    }
}
