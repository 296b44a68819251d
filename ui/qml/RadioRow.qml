import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// One choice of a list: an empty circle, filled when chosen, and its label.
// The whole row is the control; Space chooses it when it has the focus.
AbstractButton {
    id: row
    property bool chosen: false

    Layout.fillWidth: true
    checkable: false
    focusPolicy: Qt.StrongFocus
    Accessible.role: Accessible.RadioButton
    Accessible.name: text
    Accessible.checked: chosen
    padding: Theme.gap * 1.5
    font.pixelSize: Theme.bodySize

    contentItem: RowLayout {
        spacing: Theme.gap * 1.5
        Rectangle {
            Layout.preferredWidth: 18
            Layout.preferredHeight: 18
            Layout.alignment: Qt.AlignTop
            radius: 9
            color: "transparent"
            border.width: 2
            border.color: row.chosen ? Theme.accent : Theme.muted
            Rectangle {
                anchors.centerIn: parent
                width: 8
                height: 8
                radius: 4
                color: Theme.accent
                visible: row.chosen
            }
        }
        Label {
            Layout.fillWidth: true
            text: row.text
            font: row.font
            color: Theme.text
            wrapMode: Text.Wrap
        }
    }
    background: Rectangle {
        radius: 8
        color: Theme.surface
        border.width: row.visualFocus ? 2 : 1
        border.color: row.visualFocus ? Theme.focusRing : (row.chosen ? Theme.accent : Theme.separator)
    }
}
