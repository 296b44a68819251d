import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// One visit of the setup workflow: owns its flow model and shows its step.
// The screen keeps only selection state; every decision is the flow model's.
Item {
    id: screen
    objectName: "setup-workflow-screen"
    required property RootModel app
    readonly property FlowModel flow: app.makeFlowModel(screen)
    readonly property WorkflowScreenModel view: app.makeWorkflowScreenModel(flow)
    readonly property string stepKey: flow.stepKind + ":" + flow.stepName
    readonly property string windowTitle: flow.stepKind === "experienceQuestion" ? flow.experienceWindowTitle
                                                                                  : view.windowTitle
    // Selection state kept across the stages of this visit: ticked applications
    // per multi-select stage (ticked by default the first time it is shown).
    property var selectedCasks: ({})

    // Leaves the workflow for the welcome screen.
    function endRun() { app.navigation.clear() }

    Loader {
        id: content
        anchors.fill: parent
        sourceComponent: {
            switch (screen.flow.stepKind) {
            case "experienceQuestion": return experience
            case "readinessWarning": return readiness
            case "diagnosisSummary": return diagnosis
            case "postDiagnosisDecline": return decline
            case "interstitial": return interstitial
            case "stage": return stage
            case "keepGoingGate": return keepGoing
            case "verifying": return verifying
            case "outcome": return outcome
            case "satisfaction": return satisfaction
            default: return loading
            }
        }
    }
    // A new step, even of the same kind, gets a fresh screen.
    onStepKeyChanged: {
        content.active = false
        content.active = true
        if (flow.stepKind === "verifying") flow.verify()
        if (flow.stepKind === "outcome") flow.buildOutcomeAudit()
        if (flow.stepKind === "stage") flow.stageShown(flow.stepName)
    }
    Connections {
        target: screen.flow
        function onChanged() { if (screen.flow.runEnded) screen.endRun() }
    }

    // The install progress runs over the workflow while an install is pending.
    Loader {
        id: actionProgressLoader
        objectName: "actionProgressLoader"
        anchors.fill: parent
        z: 1
        active: !!screen.flow.actionProgress
        source: "SetupActionProgressView.qml"
        onLoaded: item.progress = Qt.binding(() => screen.flow.actionProgress)
    }

    Component {
        id: experience
        ExperienceScreen { app: screen.app; flow: screen.flow }
    }
    Component {
        id: loading
        ProgressScreen {
            objectName: "workflow-loading"
            titleObjectName: "workflow-loading-headline"
            app: screen.app
            windowTitle: screen.view.windowTitle
            title: qsTr("Checking your Mac…")
        }
    }
    Component {
        id: verifying
        ProgressScreen {
            objectName: "workflow-verifying"
            titleObjectName: "workflow-verifying-headline"
            app: screen.app
            windowTitle: screen.view.windowTitle
            title: screen.view.headline
        }
    }
    Component {
        id: readiness
        ScreenScaffold {
            objectName: "readiness-screen"
            app: screen.app
            windowTitle: screen.view.windowTitle
            primaryAction: readinessContinue
            title: screen.view.headline
            titleObjectName: "readiness-headline"
            Banner {
                objectName: "readiness-body"
                Layout.fillWidth: true
                tone: "warning"
                text: screen.view.body
            }
            leadingActions: ActionButton {
                objectName: "readiness-stop"
                text: screen.view.stopLabel
                onClicked: {
                    screen.flow.resolveReadinessWarning(false)
                    screen.endRun()
                }
            }
            trailingActions: ActionButton {
                id: readinessContinue
                objectName: "readiness-continue"
                text: screen.view.continueLabel
                primary: true
                focus: true
                onClicked: screen.flow.resolveReadinessWarning(true)
            }
        }
    }
    Component {
        id: diagnosis
        DiagnosisScreen { app: screen.app; view: screen.view; flow: screen.flow }
    }
    Component {
        id: decline
        ScreenScaffold {
            objectName: "competing-owner-screen"
            app: screen.app
            windowTitle: screen.view.windowTitle
            primaryAction: declineContinue
            title: screen.view.headline
            titleObjectName: "competing-owner-headline"
            explainer: screen.view.body
            explainerObjectName: "competing-owner-lead"
            Repeater {
                model: screen.view.declineLines
                Label {
                    required property string modelData
                    Layout.fillWidth: true
                    text: modelData
                    color: Theme.text
                    font.pixelSize: Theme.bodySize
                    lineHeight: 1.3
                    wrapMode: Text.Wrap
                    Accessible.name: text
                }
            }
            LinkText {
                objectName: "competing-owner-uninstall"
                app: screen.app
                url: screen.view.uninstallURL
                text: qsTr("How to uninstall Python")
            }
            leadingActions: ActionButton {
                objectName: "competing-owner-cancel"
                text: qsTr("Cancel and quit")
                onClicked: screen.view.cancelAndQuit()
            }
            trailingActions: ActionButton {
                id: declineContinue
                objectName: "competing-owner-continue"
                text: qsTr("Continue and install Python with uv")
                primary: true
                focus: true
                onClicked: screen.flow.continueAfterDecline()
            }
        }
    }
    Component {
        id: interstitial
        ScreenScaffold {
            objectName: "interstitial-screen"
            app: screen.app
            windowTitle: screen.view.windowTitle
            titleObjectName: "interstitial-headline"
            explainerObjectName: "interstitial-body"
            primaryAction: interstitialContinue
            title: screen.view.headline
            explainer: screen.view.body
            articleURL: screen.view.articleURL
            Label {
                objectName: "interstitial-disclosure"
                Layout.fillWidth: true
                visible: text.length > 0
                text: screen.view.interstitialDisclosure
                color: Theme.secondaryText
                font.pixelSize: Theme.captionSize
                wrapMode: Text.Wrap
            }
            trailingActions: ActionButton {
                id: interstitialContinue
                objectName: "interstitial-continue"
                text: screen.view.interstitialButton
                primary: true
                focus: true
                onClicked: screen.flow.continueFromInterstitial()
            }
        }
    }
    Component {
        id: stage
        StageScreen { app: screen.app; view: screen.view; workflow: screen }
    }
    Component {
        id: keepGoing
        ScreenScaffold {
            objectName: "keep-going-screen"
            app: screen.app
            windowTitle: screen.view.windowTitle
            primaryAction: keepGoingButton
            title: screen.view.headline
            titleObjectName: "keep-going-headline"
            explainer: screen.view.body
            centred: true
            leadingActions: ActionButton {
                objectName: "finish-here"
                text: qsTr("Finish here")
                onClicked: screen.flow.finishRun()
            }
            trailingActions: ActionButton {
                id: keepGoingButton
                objectName: "keep-going"
                text: qsTr("Keep going")
                primary: true
                focus: true
                onClicked: screen.flow.keepGoing()
            }
        }
    }
    Component {
        id: outcome
        OutcomeScreen { app: screen.app; view: screen.view; workflow: screen }
    }
    Component {
        id: satisfaction
        SatisfactionScreen { app: screen.app; view: screen.view; flow: screen.flow; workflow: screen }
    }
    Component.onCompleted: flow.start()
}
