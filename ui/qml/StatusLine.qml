import QtQuick
import QtQuick.Controls
import Benchkit

// One finding: an icon and a word for its status, then its text. Status is
// never told by colour alone. `status`: one of Theme.statusLook's.
Item {
    id: line
    property string status
    property string text
    readonly property var look: Theme.statusLook(status)

    implicitHeight: Math.max(badge.implicitHeight, label.implicitHeight)
    Accessible.role: Accessible.StaticText
    Accessible.name: (look.word ? look.word + ": " : "") + text

    Row {
        id: badge
        spacing: 6
        width: 132
        Label {
            text: line.look.icon
            color: line.look.color
            font.pixelSize: Theme.bodySize
            font.weight: Font.Bold
            Accessible.ignored: true
        }
        Label {
            text: line.look.word
            color: line.look.color
            font.pixelSize: Theme.captionSize
            font.weight: Font.DemiBold
            topPadding: 1
            Accessible.ignored: true
        }
    }
    Label {
        id: label
        x: badge.width + Theme.gap
        width: line.width - x
        text: line.text
        color: Theme.text
        font.pixelSize: Theme.bodySize
        wrapMode: Text.Wrap
        Accessible.ignored: true
    }
}
