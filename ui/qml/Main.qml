import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The one window. Until consent is given it shows only the consent screen;
// then a stack whose base is the welcome screen and whose pages follow the
// navigation path.
ApplicationWindow {
    id: window
    required property RootModel app

    width: 720
    height: 720
    minimumWidth: 720
    minimumHeight: 700
    visible: true
    color: Theme.background
    title: content.item && content.item.windowTitle ? content.item.windowTitle : app.displayName

    onClosing: (close) => { close.accepted = window.app.windowMayClose() }

    Loader {
        id: content
        anchors.fill: parent
        sourceComponent: window.app.hasConsented ? stack : consent
    }

    Component {
        id: consent
        ConsentScreen { app: window.app }
    }

    Component {
        id: stack
        StackView {
            id: stackView
            objectName: "navigation-stack"
            readonly property string windowTitle: currentItem && currentItem.windowTitle ? currentItem.windowTitle : ""
            initialItem: welcomePage

            // Pages follow the navigation path: one page per entry above the
            // welcome screen, or above the goal question that takes its place.
            function follow() {
                const path = window.app.navigation
                if (depth - 1 > path.depth) pop(get(path.depth))
                for (let row = depth - 1; row < path.depth; ++row) {
                    const index = path.index(row, 0)
                    const name = path.data(index, NavigationModel.NameRole)
                    if (name === "content_offer")
                        push(contentOfferPage, {offerID: path.data(index, NavigationModel.OfferIDRole)})
                    else
                        push(pageFor(name))
                }
            }
            function pageFor(name) {
                switch (name) {
                case "setup_workflow": return workflowPage
                case "guided_help_offer": return guidedHelpPage
                case "ai_coding_offer": return aiCodingPage
                case "next_step": return window.app.hasNextStepPrompt ? nextStepPage : placeholderPage
                default: return placeholderPage
                }
            }
            function showHome() {
                const goal = window.app.askingGoal
                if (get(0).objectName !== (goal ? "goal-prompt" : "welcome-screen"))
                    replace(get(0), goal ? goalPage : welcomePage)
            }
            Connections {
                target: window.app.navigation
                function onPathChanged() { stackView.follow() }
            }
            Connections {
                target: window.app
                function onAskingGoalChanged() { stackView.showHome() }
            }
            Component.onCompleted: window.app.stackAppeared()
        }
    }
    Component {
        id: welcomePage
        WelcomeScreen { app: window.app }
    }
    Component {
        id: goalPage
        GoalPromptView { app: window.app }
    }
    Component {
        id: workflowPage
        WorkflowScreen { app: window.app }
    }
    Component {
        id: nextStepPage
        NextStepView { app: window.app }
    }
    Component {
        id: contentOfferPage
        ContentOfferView { app: window.app }
    }
    Component {
        id: guidedHelpPage
        GuidedHelpOfferView { app: window.app }
    }
    Component {
        id: aiCodingPage
        AICodingInterestView { app: window.app }
    }
    Component {
        id: placeholderPage
        PlaceholderScreen { app: window.app }
    }

    Dialog {
        id: alert
        objectName: "alert"
        property string informativeText
        property string buttonTitle: "OK"
        anchors.centerIn: parent
        width: Math.min(420, window.width - 2 * Theme.margin)
        modal: true
        closePolicy: Popup.CloseOnEscape
        title: ""

        ColumnLayout {
            anchors.fill: parent
            spacing: Theme.gap
            Label {
                id: alertMessage
                objectName: "alert-message"
                Accessible.role: Accessible.AlertMessage
                Accessible.name: text
                Layout.fillWidth: true
                font.pixelSize: Theme.titleSize
                font.weight: Font.DemiBold
                wrapMode: Text.Wrap
            }
            Label {
                objectName: "alert-informative"
                Layout.fillWidth: true
                text: alert.informativeText
                font.pixelSize: Theme.bodySize
                wrapMode: Text.Wrap
            }
        }
        footer: DialogButtonBox {
            ActionButton {
                objectName: "alert-ok"
                text: alert.buttonTitle
                primary: true
                DialogButtonBox.buttonRole: DialogButtonBox.AcceptRole
            }
        }
        onOpened: footer.forceActiveFocus()
    }
    Connections {
        target: window.app
        function onAlertPresented(message, informativeText, buttonTitle) {
            alertMessage.text = message
            alert.informativeText = informativeText
            alert.buttonTitle = buttonTitle
            alert.open()
        }
    }
}
