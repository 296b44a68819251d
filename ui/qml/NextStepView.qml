import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The product's next-step question: one option to choose, then "Show next
// step" opens where that option leads.
ScreenScaffold {
    id: screen
    objectName: "next-step-screen"
    readonly property PromptViewModel prompt: app.makeNextStepPrompt(screen)
    property string selectedKey
    title: prompt.question
    titleObjectName: "next-step-question"
    explainer: prompt.subcopy
    explainerObjectName: "next-step-lead-in"
    primaryAction: continueButton

    ColumnLayout {
        Layout.fillWidth: true
        spacing: Theme.gap
        Accessible.role: Accessible.List
        Accessible.name: screen.prompt.question
        Repeater {
            model: screen.prompt.options
            RadioRow {
                required property var modelData
                objectName: "next-step-option-" + modelData.key
                text: modelData.label
                chosen: screen.selectedKey === modelData.key
                onClicked: screen.selectedKey = modelData.key
            }
        }
    }

    leadingActions: ActionButton {
        objectName: "next-step-back"
        text: qsTr("Back")
        onClicked: screen.app.navigation.pop()
    }
    trailingActions: ActionButton {
        id: continueButton
        objectName: "next-step-continue"
        text: qsTr("Show next step")
        primary: true
        enabled: screen.selectedKey.length > 0
        onClicked: screen.prompt.choose(screen.selectedKey)
    }
}
