import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The outcome: what works on this Mac now, what is left, what to open next,
// and whether the run did what the person came for.
ScreenScaffold {
    id: screen
    objectName: "outcome-screen"
    required property WorkflowScreenModel view
    required property Item workflow
    windowTitle: view.windowTitle
    primaryAction: resolvedButton
    title: view.headline
    titleObjectName: "outcome-headline"
    explainer: view.body
    explainerObjectName: "outcome-body"
    articleURL: view.articleURL

    Label {
        objectName: "outcome-limitation"
        visible: text.length > 0
        Layout.fillWidth: true
        text: screen.view.limitation
        color: Theme.warning
        font.pixelSize: Theme.bodySize
        wrapMode: Text.Wrap
        Accessible.name: text
    }

    Rectangle {
        objectName: "outcome-checklist"
        Layout.fillWidth: true
        implicitHeight: checklist.implicitHeight + 4 * Theme.gap
        radius: 8
        color: Theme.surface
        border.width: 1
        border.color: Theme.separator
        Accessible.role: Accessible.List
        Accessible.name: qsTr("What is set up")

        Column {
            id: checklist
            x: Theme.gap * 2
            y: Theme.gap * 2
            width: parent.width - 2 * x
            spacing: Theme.gap
            BusyIndicator {
                visible: screen.view.auditSections.length === 0 && screen.view.verificationLines.length === 0
                running: visible
                height: visible ? implicitHeight : 0
            }
            Repeater {
                model: screen.view.auditSections
                Column {
                    required property var modelData
                    width: checklist.width
                    spacing: 4
                    Label {
                        width: parent.width
                        text: modelData.title
                        color: Theme.text
                        font.pixelSize: Theme.bodySize
                        font.weight: Font.DemiBold
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                    }
                    Repeater {
                        model: modelData.items
                        StatusLine {
                            required property string modelData
                            width: checklist.width
                            status: "ready"
                            text: modelData
                        }
                    }
                }
            }
            Label {
                visible: screen.view.verificationLines.length > 0
                width: parent.width
                text: qsTr("Checked in a new terminal window")
                color: Theme.text
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            Repeater {
                model: screen.view.verificationLines
                StatusLine {
                    required property string modelData
                    width: checklist.width
                    status: screen.view.verificationPassed ? "ready" : "failed"
                    text: modelData
                }
            }
        }
    }

    Label {
        objectName: "outcome-agent-suggestion"
        visible: text.length > 0
        Layout.fillWidth: true
        text: screen.view.agentSuggestion
        color: Theme.text
        font.pixelSize: Theme.bodySize
        wrapMode: Text.Wrap
        Accessible.name: text
    }

    Flow {
        Layout.fillWidth: true
        spacing: Theme.gap
        visible: screen.view.openableApps.length > 0 || screen.view.hasCreatedProjects
        Repeater {
            model: screen.view.openableApps
            ActionButton {
                required property var modelData
                objectName: modelData.objectName
                text: modelData.label
                onClicked: screen.view.openApp(modelData.appName)
            }
        }
        ActionButton {
            objectName: "show-example-projects"
            visible: screen.view.hasCreatedProjects
            text: qsTr("Show Example Projects")
            onClicked: screen.view.showExampleProjects()
        }
    }

    Label {
        objectName: "outcome-question"
        Layout.fillWidth: true
        Layout.topMargin: Theme.gap
        text: screen.view.outcomeQuestion
        color: Theme.text
        font.pixelSize: Theme.titleSize
        font.weight: Font.DemiBold
        wrapMode: Text.Wrap
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }

    leadingActions: ActionButton {
        objectName: "outcome-blocked"
        text: qsTr("Not quite")
        onClicked: if (screen.view.answerOutcome(false)) screen.workflow.endRun()
    }
    trailingActions: ActionButton {
        id: resolvedButton
        objectName: "outcome-resolved"
        text: qsTr("Yes, all set")
        primary: true
        focus: true
        onClicked: if (screen.view.answerOutcome(true)) screen.workflow.endRun()
    }
}
