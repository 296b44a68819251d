import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// A choice to tick: a label, an optional line under it, and, when the thing
// is already there, "Already installed" in place of the box.
ColumnLayout {
    id: choice
    property alias label: box.text
    property string subtitle
    property string subtitleObjectName
    property bool installed: false
    property string installedText: qsTr("Already installed")
    property alias checked: box.checked
    property alias boxObjectName: box.objectName
    signal toggled(bool on)
    spacing: 2

    CheckBox {
        id: box
        Layout.fillWidth: true
        enabled: !choice.installed
        checked: false
        font.pixelSize: Theme.bodySize
        Accessible.name: text + (choice.installed ? ", " + choice.installedText : "")
        onToggled: choice.toggled(checked)
        indicator: Rectangle {
            implicitWidth: 20
            implicitHeight: 20
            x: box.leftPadding
            y: (box.height - height) / 2
            radius: 4
            color: box.checked && box.enabled ? Theme.accent : Theme.surface
            border.width: box.visualFocus ? 2 : 1
            border.color: box.visualFocus ? Theme.focusRing : (box.enabled ? Theme.secondaryText : Theme.separator)
            Text {
                anchors.centerIn: parent
                visible: box.checked
                text: "✓"
                color: box.enabled ? Theme.textOnAccent : Theme.muted
                font.pixelSize: 14
                font.weight: Font.Bold
            }
        }
        contentItem: Text {
            leftPadding: box.indicator.width + box.spacing
            text: box.text
            color: box.enabled ? Theme.text : Theme.secondaryText
            font: box.font
            wrapMode: Text.Wrap
            verticalAlignment: Text.AlignVCenter
        }
    }
    Label {
        objectName: choice.installed ? box.objectName + "-installed" : ""
        visible: choice.installed
        Layout.leftMargin: box.indicator.width + box.spacing + box.leftPadding
        text: "✓ " + choice.installedText
        color: Theme.success
        font.pixelSize: Theme.captionSize
        Accessible.name: choice.installedText
    }
    Label {
        objectName: choice.subtitleObjectName
        visible: text.length > 0
        Layout.fillWidth: true
        Layout.leftMargin: box.indicator.width + box.spacing + box.leftPadding
        text: choice.subtitle
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Accessible.name: text
    }
}
