import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// An offer of the product's catalogue: its title, body, price and disclosure,
// a button that opens the offer, and one that declines it.
ScreenScaffold {
    id: screen
    objectName: "content-offer-screen"
    required property string offerID
    readonly property OfferViewModel offer: app.makeOfferView("content_offer", offerID, screen)
    title: offer.available ? offer.title : qsTr("This offer isn't available")
    titleObjectName: "offer-" + offerID + "-title"
    explainer: offer.body
    explainerObjectName: "offer-" + offerID + "-body"
    primaryAction: primaryButton

    Label {
        objectName: "offer-" + screen.offerID + "-price"
        visible: text.length > 0
        Layout.fillWidth: true
        text: screen.offer.price
        color: Theme.text
        font.pixelSize: Theme.titleSize
        font.weight: Font.DemiBold
        wrapMode: Text.Wrap
        Accessible.name: text
    }
    Label {
        objectName: "offer-" + screen.offerID + "-disclosure"
        visible: text.length > 0
        Layout.fillWidth: true
        text: screen.offer.disclosure
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Accessible.name: text
    }

    leadingActions: ActionButton {
        objectName: "offer-" + screen.offerID + "-dismiss"
        text: screen.offer.available ? qsTr("No thanks") : qsTr("Back to home")
        onClicked: screen.offer.dismiss()
    }
    trailingActions: ActionButton {
        id: primaryButton
        objectName: "offer-" + screen.offerID + "-primary"
        visible: screen.offer.available
        text: screen.offer.actionLabel
        primary: true
        onClicked: screen.offer.select()
    }
    StackView.onActivated: offer.shown()
}
