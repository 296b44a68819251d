import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// What the program does and records, asked before anything runs.
ScreenScaffold {
    id: screen
    objectName: "consent-screen"
    title: app.consentHeadline
    titleObjectName: "consent-headline"

    BulletSection {
        Layout.fillWidth: true
        Layout.topMargin: Theme.gap
        title: screen.app.consentWhatTitle
        bullets: screen.app.consentWhatBullets
    }
    BulletSection {
        Layout.fillWidth: true
        Layout.topMargin: Theme.gap
        title: screen.app.consentPrivacyTitle
        bullets: screen.app.consentPrivacyBullets
    }
    ColumnLayout {
        Layout.fillWidth: true
        Layout.fillHeight: false
        spacing: Theme.gap / 2
        Label {
            Layout.fillWidth: true
            text: "Read the privacy details:"
            color: Theme.secondaryText
            font.pixelSize: Theme.bodySize
            wrapMode: Text.Wrap
        }
        LinkText {
            objectName: "consent-privacy-link"
            Layout.fillWidth: true
            url: screen.app.privacyURL
            app: screen.app
        }
    }

    trailingActions: ActionButton {
        id: continueButton
        objectName: "consent-continue"
        text: "Continue"
        primary: true
        focus: true
        onClicked: screen.app.giveConsent()
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: screen.visible
        onActivated: continueButton.clicked()
    }
    Component.onCompleted: continueButton.forceActiveFocus()
}
