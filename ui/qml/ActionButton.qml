import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// A button of the bottom bar or of a list of choices. `primary` is the one
// filled accent button of a screen; the others are outlined or, with
// `borderless`, plain text. The focus ring shows keyboard focus.
Button {
    id: control
    property bool primary: false
    property bool borderless: false

    Accessible.name: text
    // In a screen's bottom bar it keeps its natural width while there is room,
    // and shrinks, its text on two lines, when long labels would not fit.
    readonly property bool inActionBar: !!parent && parent.shrinksActions === true
    Layout.fillWidth: inActionBar
    // Whole pixels: the layout rounds, and a label a fraction too wide would wrap.
    Layout.preferredWidth: inActionBar ? Math.ceil(implicitWidth) : -1
    Layout.maximumWidth: inActionBar ? Math.ceil(implicitWidth) : Number.POSITIVE_INFINITY
    Layout.minimumWidth: inActionBar ? Math.min(implicitWidth, 96) : 0
    font.pixelSize: Theme.bodySize
    font.weight: primary ? Font.DemiBold : Font.Normal
    leftPadding: borderless ? 8 : 20
    rightPadding: borderless ? 8 : 20
    topPadding: 9
    bottomPadding: 9

    contentItem: Text {
        text: control.text
        font: control.font
        color: control.primary ? Theme.textOnAccent : (control.borderless ? Theme.accent : Theme.text)
        horizontalAlignment: Text.AlignHCenter
        verticalAlignment: Text.AlignVCenter
        wrapMode: Text.Wrap
        maximumLineCount: 2
        elide: Text.ElideRight
    }
    background: Rectangle {
        implicitWidth: control.borderless ? 0 : 96
        implicitHeight: 36
        radius: 8
        color: control.primary ? (control.down ? Theme.accentPressed : Theme.accent)
                               : (control.borderless ? "transparent"
                                                     : (control.down ? Theme.separator : Theme.surface))
        border.width: control.primary || control.borderless ? 0 : 1
        border.color: Theme.separator

        Rectangle {
            anchors.fill: parent
            anchors.margins: -3
            radius: 10
            color: "transparent"
            border.width: 2
            border.color: Theme.focusRing
            visible: control.visualFocus
        }
    }
}
