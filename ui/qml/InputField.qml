import QtQuick
import QtQuick.Controls
import Benchkit

// A one-line text field in the theme's colours, with a focus ring.
TextField {
    id: field
    color: Theme.text
    placeholderTextColor: Theme.muted
    selectionColor: Theme.accent
    selectedTextColor: Theme.textOnAccent
    font.pixelSize: Theme.bodySize
    leftPadding: 10
    rightPadding: 10
    topPadding: 8
    bottomPadding: 8
    Accessible.name: placeholderText
    background: Rectangle {
        implicitHeight: 36
        radius: 6
        color: Theme.surface
        border.width: field.activeFocus ? 2 : 1
        border.color: field.activeFocus ? Theme.focusRing : Theme.separator
    }
}
