import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The guided-help offer. Its button charges nothing: it records the interest
// and says plainly that the plan is not available yet.
ScreenScaffold {
    id: screen
    objectName: "guided-help-offer-screen"
    readonly property OfferViewModel offer: app.makeOfferView("guided_help_offer", "", screen)
    title: qsTr("Still stuck?")
    titleObjectName: "offer-guided_help_plan-title"
    explainer: qsTr("We can help.")
    explainerObjectName: "offer-guided_help_plan-body"
    primaryAction: offer.unavailableShown ? homeButton : primaryButton

    RowLayout {
        visible: screen.offer.unavailableShown
        Layout.fillWidth: true
        spacing: Theme.gap
        // An information mark drawn, not a glyph, so every font shows it.
        Rectangle {
            Layout.alignment: Qt.AlignTop
            Layout.preferredWidth: 20
            Layout.preferredHeight: 20
            radius: 10
            color: Theme.accent
            Accessible.ignored: true
            Text {
                anchors.centerIn: parent
                text: "i"
                color: Theme.textOnAccent
                font.pixelSize: Theme.bodySize
                font.weight: Font.Bold
            }
        }
        Label {
            objectName: "offer-guided_help_plan-unavailable"
            Layout.fillWidth: true
            text: qsTr("Thanks — this isn't available yet. We're seeing how many people want it. You haven't been charged, and we didn't collect any personal details.")
            color: Theme.text
            font.pixelSize: Theme.bodySize
            wrapMode: Text.Wrap
            Accessible.role: Accessible.StaticText
            Accessible.name: text
        }
    }

    leadingActions: ActionButton {
        objectName: "offer-guided_help_plan-dismiss"
        visible: !screen.offer.unavailableShown
        text: qsTr("No thanks")
        onClicked: screen.offer.dismiss()
    }
    trailingActions: [
        ActionButton {
            id: primaryButton
            objectName: "offer-guided_help_plan-primary"
            visible: !screen.offer.unavailableShown
            text: qsTr("Get my setup plan ($2)")
            primary: true
            onClicked: screen.offer.select()
        },
        ActionButton {
            id: homeButton
            objectName: "offer-guided_help_plan-done"
            visible: screen.offer.unavailableShown
            text: qsTr("Done — back to home")
            primary: true
            onClicked: screen.offer.goHome()
        }
    ]
    StackView.onActivated: offer.shown()
}
