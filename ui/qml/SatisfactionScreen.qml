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
    // "notYet", "scored", "thanks" or "dismissed".
    property string phase: "notYet"
    property int score: -1
    windowTitle: view.windowTitle
    primaryAction: doneButton
    title: view.headline
    titleObjectName: "satisfaction-headline"
    explainer: view.body

    function submit() {
        if (phase !== "scored") return
        view.submitSatisfaction(score, reason.text)
        phase = "thanks"
    }

    Rectangle {
        objectName: "satisfaction-card"
        visible: screen.phase !== "dismissed"
        Layout.fillWidth: true
        implicitHeight: card.implicitHeight + 4 * Theme.gap
        radius: 8
        color: Theme.surface
        border.width: 1
        border.color: Theme.separator

        ColumnLayout {
            id: card
            x: Theme.gap * 2
            y: Theme.gap * 2
            width: parent.width - 2 * x
            spacing: Theme.gap * 1.5
            RowLayout {
                Layout.fillWidth: true
                Label {
                    Layout.fillWidth: true
                    text: qsTr("How are we doing?")
                    color: Theme.text
                    font.pixelSize: Theme.titleSize
                    font.weight: Font.DemiBold
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                ActionButton {
                    objectName: "satisfaction-dismiss"
                    visible: screen.phase !== "thanks"
                    text: qsTr("Dismiss")
                    borderless: true
                    onClicked: {
                        screen.flow.satisfactionDismissed()
                        screen.phase = "dismissed"
                    }
                }
            }
            Label {
                visible: screen.phase !== "thanks"
                Layout.fillWidth: true
                text: qsTr("Are you happy with this app?")
                color: Theme.text
                font.pixelSize: Theme.bodySize
                wrapMode: Text.Wrap
            }
            RowLayout {
                visible: screen.phase !== "thanks"
                Layout.fillWidth: true
                spacing: 4
                Repeater {
                    model: 11
                    Button {
                        id: scoreButton
                        required property int index
                        objectName: "satisfaction-score-" + index
                        Layout.fillWidth: true
                        Layout.preferredWidth: 1  // eleven equal buttons
                        Layout.preferredHeight: 36
                        text: String(index)
                        checkable: true
                        checked: screen.score === index
                        Accessible.name: text
                        font.pixelSize: Theme.bodySize
                        onClicked: {
                            screen.score = index
                            screen.phase = "scored"
                        }
                        contentItem: Text {
                            text: scoreButton.text
                            font: scoreButton.font
                            color: scoreButton.checked ? Theme.textOnAccent : Theme.text
                            horizontalAlignment: Text.AlignHCenter
                            verticalAlignment: Text.AlignVCenter
                        }
                        background: Rectangle {
                            radius: 6
                            color: scoreButton.checked ? Theme.accent : Theme.background
                            border.width: scoreButton.visualFocus ? 2 : 1
                            border.color: scoreButton.visualFocus ? Theme.focusRing : Theme.separator
                        }
                    }
                }
            }
            RowLayout {
                visible: screen.phase !== "thanks"
                Layout.fillWidth: true
                Label { text: qsTr("Not at all"); color: Theme.secondaryText; font.pixelSize: Theme.captionSize }
                Item { Layout.fillWidth: true }
                Label { text: qsTr("Extremely happy"); color: Theme.secondaryText; font.pixelSize: Theme.captionSize }
            }
            Label {
                visible: screen.phase === "scored"
                Layout.fillWidth: true
                text: qsTr("What's the main reason for your rating? (optional)")
                color: Theme.text
                font.pixelSize: Theme.bodySize
                wrapMode: Text.Wrap
            }
            ScrollView {
                id: reasonScroll
                visible: screen.phase === "scored"
                Layout.fillWidth: true
                Layout.preferredHeight: 72
                contentWidth: availableWidth
                TextArea {
                    id: reason
                    objectName: "satisfaction-reason"
                    wrapMode: TextArea.Wrap
                    font.pixelSize: Theme.bodySize
                    Accessible.name: qsTr("What's the main reason for your rating? (optional)")
                }
            }
            ActionButton {
                objectName: "satisfaction-submit"
                visible: screen.phase === "scored"
                text: qsTr("Submit feedback")
                onClicked: screen.submit()
            }
            RowLayout {
                visible: screen.phase === "thanks"
                spacing: Theme.gap
                Label { text: "✓"; color: Theme.success; font.pixelSize: Theme.titleSize; Accessible.ignored: true }
                Label {
                    objectName: "satisfaction-thanks"
                    text: qsTr("Thanks for the feedback.")
                    color: Theme.text
                    font.pixelSize: Theme.bodySize
                }
            }
        }
    }

    trailingActions: ActionButton {
        id: doneButton
        objectName: "satisfaction-done"
        text: qsTr("Done")
        primary: true
        onClicked: {
            screen.submit()
            screen.workflow.endRun()
        }
    }
}
