import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The first screen after consent: one button starts the product's flow.
ScreenScaffold {
    id: screen
    objectName: "welcome-screen"
    title: app.welcomeTitle
    titleSize: Theme.largeTitleSize
    titleObjectName: "welcome-title"
    explainer: app.welcomeExplainer
    explainerObjectName: "welcome-explainer"
    centred: true

    trailingActions: ActionButton {
        id: startButton
        objectName: "welcome-diagnose-button"
        text: screen.app.primaryCTA
        primary: true
        focus: true
        onClicked: screen.app.startFlow()
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: screen.visible && screen.StackView.status === StackView.Active
        onActivated: startButton.clicked()
    }
    StackView.onActivated: startButton.forceActiveFocus()
}
