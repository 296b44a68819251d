import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// What the system check found: one status line per primary stage, then the
// evidence of which Pythons are on the Mac and which one the commands run.
ScreenScaffold {
    id: screen
    objectName: "diagnosis-screen"
    required property WorkflowScreenModel view
    required property FlowModel flow
    windowTitle: view.windowTitle
    primaryAction: continueButton
    title: view.headline
    titleObjectName: "diagnosis-headline"
    articleURL: view.articleURL

    Column {
        objectName: "diagnosis-summary"
        Layout.fillWidth: true
        spacing: Theme.gap * 1.5
        Repeater {
            model: screen.view.summaryLines
            StatusLine {
                required property var modelData
                objectName: "diagnosis-line-" + modelData.domain
                width: parent.width
                status: modelData.status
                text: modelData.text
            }
        }
    }

    Rectangle {
        objectName: "diagnosis-evidence"
        visible: screen.view.evidenceSections.length > 0
        Layout.fillWidth: true
        implicitHeight: evidence.implicitHeight + 2 * Theme.gap * 2
        radius: 8
        color: Theme.surface
        border.width: 1
        border.color: Theme.separator
        Accessible.role: Accessible.Grouping
        Accessible.name: qsTr("Evidence")

        Column {
            id: evidence
            x: Theme.gap * 2
            y: Theme.gap * 2
            width: parent.width - 2 * x
            spacing: Theme.gap
            Repeater {
                model: screen.view.evidenceSections
                Column {
                    required property var modelData
                    width: evidence.width
                    spacing: 4
                    Label {
                        width: parent.width
                        text: modelData.heading
                        color: Theme.text
                        font.pixelSize: Theme.bodySize
                        font.weight: Font.DemiBold
                        wrapMode: Text.Wrap
                        Accessible.role: Accessible.Heading
                        Accessible.name: text
                    }
                    Repeater {
                        model: modelData.rows
                        Label {
                            required property string modelData
                            width: evidence.width
                            leftPadding: Theme.gap
                            text: modelData
                            color: Theme.secondaryText
                            font.pixelSize: Theme.captionSize + 1
                            wrapMode: Text.Wrap
                            Accessible.name: text
                        }
                    }
                }
            }
            Label {
                objectName: "diagnosis-evidence-note"
                visible: text.length > 0
                width: parent.width
                text: screen.view.evidenceNote
                color: Theme.text
                font.pixelSize: Theme.bodySize
                wrapMode: Text.Wrap
                Accessible.name: text
            }
        }
    }

    Label {
        objectName: "diagnosis-footer"
        Layout.fillWidth: true
        text: screen.view.footer
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Accessible.name: text
    }

    trailingActions: ActionButton {
        id: continueButton
        objectName: "diagnosis-continue"
        text: qsTr("Continue")
        primary: true
        focus: true
        onClicked: screen.flow.continueFromDiagnosis()
    }
}
