import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The product's goal question: one option to choose, an optional detail, and
// "Continue" once an option is chosen.
ScreenScaffold {
    id: screen
    objectName: "goal-prompt"
    readonly property PromptViewModel prompt: app.makeGoalPrompt(screen)
    property string selectedKey
    readonly property var selectedOption: prompt.options.find(option => option.key === selectedKey)
    title: prompt.question
    titleObjectName: "goal-question"
    explainer: prompt.subcopy
    explainerObjectName: "goal-subcopy"
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
                objectName: "goal-option-" + modelData.key
                text: modelData.label
                chosen: screen.selectedKey === modelData.key
                onClicked: screen.selectedKey = modelData.key
            }
        }
    }
    InputField {
        id: detail
        objectName: "goal-detail-field"
        Layout.fillWidth: true
        maximumLength: screen.prompt.detailMaxChars
        placeholderText: screen.selectedOption && screen.selectedOption.detailPrompt
                         ? screen.selectedOption.detailPrompt : qsTr("Anything else we should know? (optional)")
        Accessible.name: placeholderText
    }
    Label {
        objectName: "goal-note"
        Layout.fillWidth: true
        text: qsTr("Nothing changes on your Mac until you review and approve it.")
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
    }

    trailingActions: ActionButton {
        id: continueButton
        objectName: "goal-continue"
        text: qsTr("Continue")
        primary: true
        enabled: screen.selectedKey.length > 0
        onClicked: screen.prompt.choose(screen.selectedKey, detail.text)
    }
}
