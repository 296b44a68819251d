import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The last question: how happy the person is, 0 to 10, with an optional
// reason. "Done" sends a chosen score not yet submitted, then ends the run.
ScreenScaffold {
    id: screen
    objectName: "satisfaction-screen"
    required property WorkflowScreenModel view
    required property FlowModel flow
    required property Item workflow
    readonly property FeedbackCardModel card: view.makeSatisfactionCard(screen)
    windowTitle: view.windowTitle
    primaryAction: doneButton
    title: view.headline
    titleObjectName: "satisfaction-headline"
    explainer: view.body

    FeedbackCard {
        id: feedback
        card: screen.card
    }

    trailingActions: ActionButton {
        id: doneButton
        objectName: "satisfaction-done"
        text: qsTr("Done")
        primary: true
        onClicked: {
            feedback.submitPending()
            screen.workflow.endRun()
        }
    }
}
