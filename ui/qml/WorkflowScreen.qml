import QtQuick
import Benchkit

// One visit of the setup workflow: owns its flow model and shows its step.
// Only the experience question exists as a screen so far; every other step
// shows the plain "not built yet" screen.
Item {
    id: screen
    objectName: "setup-workflow-screen"
    required property RootModel app
    readonly property FlowModel flow: app.makeFlowModel(screen)
    readonly property bool asksExperience: flow.stepKind === "experienceQuestion"
    readonly property string windowTitle: asksExperience ? flow.experienceWindowTitle : app.displayName

    Loader {
        anchors.fill: parent
        sourceComponent: screen.asksExperience ? experience : pending
    }
    Component {
        id: experience
        ExperienceScreen { app: screen.app; flow: screen.flow }
    }
    Component {
        id: pending
        SetupPendingScreen { app: screen.app }
    }
    Component.onCompleted: flow.start()
}
