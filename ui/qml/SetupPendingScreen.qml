import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// Where the setup screens will be. Says plainly that they are not built yet.
ScreenScaffold {
    id: screen
    objectName: "setup-not-built"
    title: qsTr("The setup screens are not built yet")
    titleObjectName: "setup-not-built-title"
    explainer: qsTr("This version of %1 stops here: the screens that check your Mac and set up Python are still being built. Nothing on your Mac has been changed.").arg(app.displayName)

    leadingActions: ActionButton {
        id: backButton
        objectName: "setup-not-built-back"
        text: qsTr("Back")
        focus: true
        onClicked: screen.app.navigation.clear()
    }
    Component.onCompleted: backButton.forceActiveFocus()
}
