import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// A section title with its bullets, one line each beginning with "•". A
// positioner rather than a layout: its height follows the wrapped text exactly.
Column {
    id: section
    property string title
    property var bullets: []
    spacing: Theme.gap

    Label {
        width: section.width
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
        // The bullet hangs: wrapped lines align with the text, not the "•".
        Item {
            id: bullet
            required property string modelData
            width: section.width
            height: line.height
            Label {
                id: dot
                x: Theme.gap
                text: "•"
                color: Theme.text
                font.pixelSize: Theme.bodySize
                Accessible.ignored: true
            }
            Label {
                id: line
                x: dot.x + dot.width + Theme.gap
                width: bullet.width - x
                text: bullet.modelData
                color: Theme.text
                font.pixelSize: Theme.bodySize
                lineHeight: 1.3
                wrapMode: Text.Wrap
                Accessible.name: "• " + text
            }
        }
    }
}
