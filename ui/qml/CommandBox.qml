import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// A command (or a code) in monospace that the person can select, with a copy button.
Rectangle {
    id: box
    property string command
    property alias copyObjectName: copyButton.objectName
    property alias copyText: copyButton.text
    property alias textPixelSize: commandText.font.pixelSize
    signal copyRequested()

    implicitHeight: row.implicitHeight + 2 * Theme.gap
    radius: 6
    color: Theme.background
    border.width: 1
    border.color: Theme.separator

    RowLayout {
        id: row
        anchors.fill: parent
        anchors.margins: Theme.gap
        spacing: Theme.gap
        TextEdit {
            id: commandText
            objectName: "command-text"
            Layout.fillWidth: true
            text: box.command
            readOnly: true
            selectByMouse: true
            wrapMode: TextEdit.WrapAnywhere
            color: Theme.text
            font.family: Theme.monospace
            font.pixelSize: Theme.captionSize + 1
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
        ActionButton {
            id: copyButton
            text: qsTr("Copy command")
            onClicked: box.copyRequested()
        }
    }
}
