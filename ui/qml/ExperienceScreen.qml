import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The experience question: one button per answer, and a quiet skip.
ScreenScaffold {
    id: screen
    objectName: "experience-screen"
    required property FlowModel flow
    title: flow.experienceHeadline
    titleObjectName: "experience-headline"
    explainer: flow.experienceBody
    explainerObjectName: "experience-body"
    windowTitle: flow.experienceWindowTitle

    ColumnLayout {
        Layout.fillWidth: true
        Layout.fillHeight: false
        Layout.topMargin: Theme.gap
        spacing: Theme.gap * 1.5
        Repeater {
            model: screen.flow.experienceBuckets
            ActionButton {
                required property string label
                required property string value
                required property int index
                objectName: "experience-" + value
                Layout.fillWidth: true
                Layout.preferredHeight: 44
                text: label
                focus: index === 0
                onClicked: screen.flow.answerExperience(value)
            }
        }
    }

    leadingActions: ActionButton {
        objectName: "experience-skip"
        text: screen.flow.experienceSkipLabel
        borderless: true
        onClicked: screen.flow.skipExperience()
    }
}
