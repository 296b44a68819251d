import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// One approved action being carried out: its title, a calm status line while
// it runs and how it ended afterwards, a sign-in's one-time code, the
// installer's output (scrolling in its own area, following the end unless the
// person scrolled up), and Cancel, then Continue once it has ended.
// Shown over the workflow screen; `progress` is the flow model's actionProgress.
Item {
    id: view
    objectName: "setup-action-progress-view"
    property ActionProgressModel progress
    readonly property bool running: !!progress && progress.running
    readonly property bool ended: !!progress && progress.result.length > 0
    readonly property string oneTimeCode: progress ? progress.oneTimeCode : ""
    readonly property var endLook: Theme.statusLook(!progress ? ""
        : progress.result === "success" ? "ready"
        : progress.result === "failure" ? "failed" : "skipped")
    readonly property string endIcon: progress && progress.result === "failure" ? "⚠" : endLook.icon

    Rectangle { anchors.fill: parent; color: Theme.background }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ColumnLayout {
            id: column
            Layout.fillHeight: true
            Layout.fillWidth: false
            Layout.preferredWidth: Math.min(view.width - 2 * Theme.margin, Theme.contentWidth)
            Layout.alignment: Qt.AlignHCenter
            Layout.topMargin: Theme.margin + Theme.gap
            Layout.bottomMargin: Theme.gap * 3
            spacing: Theme.gap * 2

            Label {
                objectName: "setup-action-title"
                Layout.fillWidth: true
                text: view.progress ? view.progress.title : ""
                color: Theme.text
                font.pixelSize: Theme.headlineSize
                font.weight: Font.DemiBold
                wrapMode: Text.Wrap
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }

            // While running, a spinner and the calm status line; once ended, how
            // it ended, by symbol and words (the failure ramp's own look).
            RowLayout {
                Layout.fillWidth: true
                Layout.fillHeight: false
                spacing: Theme.gap * 1.5
                visible: !!view.progress
                BusyIndicator {
                    objectName: "setup-action-progress"
                    visible: view.running
                    running: view.running
                    // The spinner's colour in the styles on macOS and Linux, in both appearances.
                    palette.dark: Theme.accent
                    palette.text: Theme.accent
                    Layout.preferredWidth: 28
                    Layout.preferredHeight: 28
                    Accessible.name: qsTr("Working")
                }
                Label {
                    objectName: "setup-action-result-icon"
                    visible: view.ended
                    Layout.preferredWidth: 28
                    horizontalAlignment: Text.AlignHCenter
                    text: view.endIcon
                    color: view.endLook.color
                    font.pixelSize: Theme.titleSize + 4
                    font.weight: Font.Bold
                    Accessible.ignored: true
                }
                Label {
                    objectName: "setup-action-status"
                    Layout.fillWidth: true
                    text: view.progress ? view.progress.statusText : ""
                    color: view.ended ? view.endLook.color : Theme.secondaryText
                    font.pixelSize: view.ended ? Theme.titleSize : Theme.bodySize
                    font.weight: view.ended ? Font.DemiBold : Font.Normal
                    // A one-line ending sits level with its symbol.
                    lineHeight: view.ended ? 1.0 : 1.4
                    wrapMode: Text.Wrap
                    Accessible.role: Accessible.StatusBar
                    Accessible.name: text
                }
            }

            // A device sign-in's one-time code, large enough to read off and
            // copy, until the screen is left.
            ColumnLayout {
                visible: view.oneTimeCode.length > 0
                Layout.fillWidth: true
                Layout.fillHeight: false
                spacing: Theme.gap
                Label {
                    objectName: "setup-action-code-caption"
                    Layout.fillWidth: true
                    text: qsTr("Your one-time code — paste it in your browser to authorize:")
                    color: Theme.text
                    font.pixelSize: Theme.bodySize
                    wrapMode: Text.Wrap
                    Accessible.name: text
                }
                CommandBox {
                    objectName: "setup-action-code"
                    Layout.fillWidth: true
                    command: view.oneTimeCode
                    textPixelSize: Theme.headlineSize
                    copyText: qsTr("Copy code")
                    copyObjectName: "setup-action-code-copy"
                    onCopyRequested: view.progress.copyOneTimeCode()
                    Accessible.role: Accessible.Grouping
                    Accessible.name: qsTr("One-time code")
                }
            }

            // The output: newest at the bottom, in its own scrolling area.
            Rectangle {
                Layout.fillWidth: true
                Layout.fillHeight: true
                Layout.minimumHeight: 160
                radius: 8
                color: Theme.surface
                border.width: 1
                border.color: Theme.separator

                ListView {
                    id: log
                    objectName: "setup-action-output"
                    anchors.fill: parent
                    anchors.margins: Theme.gap * 1.5
                    clip: true
                    model: view.progress
                    reuseItems: true
                    boundsBehavior: Flickable.StopAtBounds
                    // Follows the newest line until the person scrolls up.
                    property bool following: true
                    onMovementEnded: following = atYEnd
                    // Once the shown lines are at their limit, new ones replace old ones
                    // and the count stays put: follow every batch, not the count.
                    Connections {
                        target: view.progress
                        function onLinesChanged() { if (log.following) Qt.callLater(log.positionViewAtEnd) }
                    }
                    Accessible.role: Accessible.List
                    Accessible.name: qsTr("Install output")
                    ScrollBar.vertical: ScrollBar { policy: ScrollBar.AsNeeded }

                    delegate: Text {
                        required property string line
                        required property bool quiet
                        width: ListView.view ? ListView.view.width - Theme.gap : 0
                        text: line
                        color: quiet ? Theme.secondaryText : Theme.text
                        font.family: Theme.monospace
                        font.pixelSize: Theme.captionSize
                        font.italic: quiet
                        wrapMode: Text.Wrap
                        textFormat: Text.PlainText
                        lineHeight: 1.25
                    }
                }

                ActionButton {
                    objectName: "setup-action-jump-latest"
                    anchors.right: parent.right
                    anchors.bottom: parent.bottom
                    anchors.margins: Theme.gap
                    visible: !log.following && log.count > 0
                    text: qsTr("Jump to latest")
                    onClicked: {
                        log.following = true
                        log.positionViewAtEnd()
                    }
                }
            }
        }

        Rectangle { Layout.fillWidth: true; Layout.preferredHeight: 1; color: Theme.separator }
        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 68
            color: Theme.surface
            RowLayout {
                anchors.verticalCenter: parent.verticalCenter
                anchors.horizontalCenter: parent.horizontalCenter
                width: column.width
                spacing: Theme.gap * 2
                Item { Layout.fillWidth: true }
                ActionButton {
                    objectName: "setup-action-cancel"
                    visible: view.running
                    text: qsTr("Cancel")
                    onClicked: view.progress.cancel()
                }
                ActionButton {
                    id: continueButton
                    objectName: "setup-action-continue"
                    visible: !!view.progress && !view.progress.running
                    primary: true
                    text: qsTr("Continue")
                    onVisibleChanged: if (visible) forceActiveFocus()
                    onClicked: view.progress.continueOn()
                    Keys.onReturnPressed: view.progress.continueOn()
                    Keys.onEnterPressed: view.progress.continueOn()
                }
            }
        }
    }
}
