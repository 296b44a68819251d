import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The AI-coding interest offer: its button records the interest and opens the
// offer's page; "No thanks" declines it.
ScreenScaffold {
    id: screen
    objectName: "ai-coding-offer-screen"
    readonly property OfferViewModel offer: app.makeOfferView("ai_coding_offer", "", screen)
    title: qsTr("Build with AI?")
    titleObjectName: "offer-ai_coding_setup-title"
    explainer: qsTr("We can help you set that up.")
    explainerObjectName: "offer-ai_coding_setup-body"
    primaryAction: primaryButton

    leadingActions: ActionButton {
        objectName: "offer-ai_coding_setup-dismiss"
        text: qsTr("No thanks")
        onClicked: screen.offer.dismiss()
    }
    trailingActions: ActionButton {
        id: primaryButton
        objectName: "offer-ai_coding_setup-primary"
        text: screen.offer.actionLabel.length > 0 ? screen.offer.actionLabel : qsTr("Show me how")
        primary: true
        onClicked: screen.offer.select()
    }
    StackView.onActivated: offer.shown()
}
