import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// A section title with its bullets, one line each beginning with "•".
ColumnLayout {
    id: section
    property string title
    property var bullets: []
    spacing: Theme.gap

    Label {
        Layout.fillWidth: true
        text: section.title
        color: Theme.text
        font.pixelSize: Theme.titleSize
        font.weight: Font.DemiBold
        wrapMode: Text.Wrap
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    Repeater {
        model: section.bullets
        Label {
            required property string modelData
            Layout.fillWidth: true
            text: "• " + modelData
            color: Theme.text
            font.pixelSize: Theme.bodySize
            lineHeight: 1.3
            wrapMode: Text.Wrap
            leftPadding: Theme.gap
            Accessible.name: modelData
        }
    }
}
