import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// A message set apart from the screen around it: a symbol and a word for its
// kind, then its text, on a calm tint of the kind's colour. The kind is never
// told by colour alone. `tone`: one of Theme.statusLook's ("warning", "note",
// "failed", ...); `icon` and `word` replace the tone's own. Items declared
// inside go under the text.
Rectangle {
    id: banner
    property string tone: "note"
    property string text
    readonly property var look: Theme.statusLook(tone)
    property string icon: look.icon
    property string word: look.word
    property alias wordObjectName: wordLabel.objectName
    property alias textObjectName: textLabel.objectName
    property alias textLineHeight: textLabel.lineHeight
    default property alias content: extra.data

    implicitHeight: row.implicitHeight + 4 * Theme.gap
    radius: 8
    color: look.fill
    border.width: 1
    border.color: look.color
    Accessible.role: Accessible.Grouping
    Accessible.name: word
    Accessible.description: text

    RowLayout {
        id: row
        x: Theme.gap * 2
        y: Theme.gap * 2
        width: parent.width - 2 * x
        spacing: Theme.gap * 1.5

        Label {
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: Theme.titleSize + 4
            horizontalAlignment: Text.AlignHCenter
            text: banner.icon
            color: banner.look.color
            font.pixelSize: Theme.titleSize + 2
            font.weight: Font.Bold
            Accessible.ignored: true
        }
        ColumnLayout {
            Layout.fillWidth: true
            spacing: Theme.gap
            Label {
                id: wordLabel
                Layout.fillWidth: true
                text: banner.word
                color: banner.look.color
                font.pixelSize: Theme.titleSize
                font.weight: Font.DemiBold
                wrapMode: Text.Wrap
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Label {
                id: textLabel
                Layout.fillWidth: true
                visible: text.length > 0
                text: banner.text
                color: Theme.text
                font.pixelSize: Theme.bodySize
                lineHeight: 1.4
                wrapMode: Text.Wrap
                Accessible.name: text
            }
            ColumnLayout {
                id: extra
                Layout.fillWidth: true
                visible: children.length > 0
                spacing: Theme.gap * 1.5
            }
        }
    }
}
