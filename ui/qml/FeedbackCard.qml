import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// A feedback card: a score from 0 to 10, then an optional reason and the
// submit button, then thanks with a filled check mark. The satisfaction card
// and the NPS card are this card with their own wording; every identifier
// begins with the card's prefix ("satisfaction-score-3", "nps-submit").
Rectangle {
    id: root
    required property FeedbackCardModel card
    readonly property string prefix: card.idPrefix
    readonly property bool thanked: card.phase === "thanks" || card.phase === "submitting"

    // Sends a chosen score that was not sent yet, with the reason typed so far.
    function submitPending() {
        if (card.phase === "scored") card.submit(reason.text)
    }

    objectName: prefix + "-card"
    Accessible.role: Accessible.Grouping
    Accessible.name: qsTr("How are we doing?")
    visible: !card.dismissed
    Layout.fillWidth: true
    implicitHeight: column.implicitHeight + 4 * Theme.gap
    radius: 8
    color: Theme.surface
    border.width: 1
    border.color: Theme.separator

    ColumnLayout {
        id: column
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
                wrapMode: Text.Wrap
                Accessible.role: Accessible.Heading
                Accessible.name: text
            }
            ActionButton {
                objectName: root.prefix + "-dismiss"
                visible: !root.thanked
                text: qsTr("Dismiss")
                borderless: true
                onClicked: root.card.dismiss()
            }
        }
        Label {
            objectName: root.prefix + "-question"
            visible: !root.thanked
            Layout.fillWidth: true
            text: root.card.question
            color: Theme.text
            font.pixelSize: Theme.bodySize
            wrapMode: Text.Wrap
            Accessible.name: text
        }
        RowLayout {
            visible: !root.thanked
            Layout.fillWidth: true
            spacing: 4
            Repeater {
                model: 11
                Button {
                    id: scoreButton
                    required property int index
                    objectName: root.prefix + "-score-" + index
                    Layout.fillWidth: true
                    Layout.preferredWidth: 1  // eleven equal buttons
                    Layout.preferredHeight: 36
                    text: String(index)
                    checkable: true
                    checked: root.card.score === index
                    Accessible.name: text
                    font.pixelSize: Theme.bodySize
                    onClicked: root.card.choose(index)
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
            visible: !root.thanked
            Layout.fillWidth: true
            Label { text: root.card.lowLabel; color: Theme.secondaryText; font.pixelSize: Theme.captionSize }
            Item { Layout.fillWidth: true }
            Label { text: root.card.highLabel; color: Theme.secondaryText; font.pixelSize: Theme.captionSize }
        }
        Label {
            visible: root.card.phase === "scored"
            Layout.fillWidth: true
            text: root.card.reasonPrompt
            color: Theme.text
            font.pixelSize: Theme.bodySize
            wrapMode: Text.Wrap
        }
        ScrollView {
            visible: root.card.phase === "scored"
            Layout.fillWidth: true
            Layout.preferredHeight: 72
            contentWidth: availableWidth
            TextArea {
                id: reason
                objectName: root.prefix + "-reason"
                wrapMode: TextArea.Wrap
                color: Theme.text
                font.pixelSize: Theme.bodySize
                Accessible.name: root.card.reasonPrompt
                background: Rectangle {
                    radius: 6
                    color: Theme.background
                    border.width: reason.activeFocus ? 2 : 1
                    border.color: reason.activeFocus ? Theme.focusRing : Theme.separator
                }
            }
        }
        ActionButton {
            objectName: root.prefix + "-submit"
            visible: root.card.phase === "scored"
            text: qsTr("Submit feedback")
            onClicked: root.submitPending()
        }
        RowLayout {
            visible: root.card.phase === "thanks"
            spacing: Theme.gap
            // A filled check mark: the status is the mark and the words, not the colour.
            Rectangle {
                Layout.preferredWidth: 22
                Layout.preferredHeight: 22
                radius: 11
                color: Theme.success
                Accessible.ignored: true
                Text {
                    anchors.centerIn: parent
                    text: "✓"
                    color: Theme.surface
                    font.pixelSize: Theme.bodySize
                    font.weight: Font.Bold
                }
            }
            Label {
                objectName: root.prefix + "-thanks"
                text: qsTr("Thanks for the feedback.")
                color: Theme.text
                font.pixelSize: Theme.bodySize
                Accessible.name: text
            }
        }
    }
}
