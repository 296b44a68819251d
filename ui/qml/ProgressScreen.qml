import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// A step that waits on background work: a spinner and what is being done.
ScreenScaffold {
    id: screen
    centred: true
    BusyIndicator {
        objectName: screen.objectName + "-indicator"
        Layout.alignment: Qt.AlignHCenter
        running: screen.visible
        Accessible.name: screen.title
    }
}
