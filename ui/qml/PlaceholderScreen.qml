import QtQuick
import QtQuick.Controls
import Benchkit

// The screens of the engine's other products, which this program never opens.
ScreenScaffold {
    id: screen
    objectName: "placeholder-screen"
    title: qsTr("Not part of %1").arg(app.displayName)
    leadingActions: ActionButton {
        objectName: "placeholder-back"
        text: qsTr("Back")
        onClicked: screen.app.navigation.pop()
    }
}
