import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// One stage: what was found, then what can be done about it. An ordinary
// stage lists its actions; a special stage has its own choices; a stage that
// needs Homebrew while it is missing offers Homebrew first; a stage whose
// install failed shows the failure ramp.
ScreenScaffold {
    id: screen
    objectName: "stage-" + view.domain
    required property WorkflowScreenModel view
    required property Item workflow
    readonly property string kind: view.specialKind
    readonly property bool failed: view.failed
    readonly property bool homebrewFirst: !failed && view.needsHomebrewFirst
    readonly property bool offersActions: !failed && !homebrewFirst
    readonly property var firstAction: view.stageActions.length > 0 ? view.stageActions[0] : null
    readonly property bool oneProject: kind === "projectActions" && view.stageActions.length === 1
    // Ticked keys of the special stage's choices (remediation id, language key,
    // skill slug or server slug) and the keys typed per MCP server.
    property var chosen: ({})
    property var apiKeys: ({})
    property bool refreshIndex: true

    windowTitle: view.windowTitle
    primaryAction: failed ? retryButton
                          : homebrewFirst ? homebrewFirstButton
                                          : kind === "" ? firstActionButton
                                                        : oneProject ? createProjectButton : specialButton
    title: view.headline
    titleObjectName: "stage-headline"
    explainer: view.body
    explainerObjectName: "stage-body"
    articleURL: failed ? "" : view.articleURL

    function tick(key, on) {
        const next = Object.assign({}, chosen)
        if (on) next[key] = true; else delete next[key]
        chosen = next
        if (kind === "caskMultiselect") {
            const remembered = Object.assign({}, workflow.selectedCasks)
            remembered[view.domain] = Object.keys(next)
            workflow.selectedCasks = remembered
        }
    }
    function chosenKeys() { return Object.keys(chosen) }
    function primaryAction() {
        switch (kind) {
        case "caskMultiselect": return view.installChoices(chosenKeys())
        case "languagesMultiselect":
            return view.installLanguages(chosenKeys(), refreshIndex && view.refreshOfferLabel.length > 0)
        case "skillsMultiselect": return view.addSkills(chosenKeys())
        case "mcpMultiselect": return view.addMCPServers(chosenKeys(), apiKeys)
        case "gitActions": return view.setUpGit(gitName.text, gitEmail.text)
        }
        return false
    }

    Component.onCompleted: {
        // Pre-ticked: every missing application the first time a multi-select
        // stage is shown, the remembered choice afterwards; the default skills.
        const seeded = {}
        if (kind === "caskMultiselect") {
            const remembered = workflow.selectedCasks[view.domain]
            for (const choice of view.caskChoices) {
                if (choice.installed) continue
                if (remembered === undefined || remembered.indexOf(choice.id) >= 0) seeded[choice.id] = true
            }
        } else if (kind === "skillsMultiselect") {
            for (const skill of view.skills) if (skill.preselected && !skill.installed) seeded[skill.slug] = true
        }
        chosen = seeded
    }

    // ---- The failure ramp ----
    Banner {
        objectName: "failure-ramp"
        visible: screen.failed
        Layout.fillWidth: true
        tone: "failed"
        icon: "⚠"
        word: qsTr("That step didn't finish.")
        wordObjectName: "failure-ramp-title"
        text: screen.view.failureText
        textObjectName: "failure-ramp-text"
        // The last lines of the install's output: kept close together.
        textLineHeight: 1.15

        Label {
            objectName: "failure-ramp-manual"
            visible: screen.view.manualCommand.length > 0
            Layout.fillWidth: true
            text: qsTr("Or run this in Terminal yourself:")
            color: Theme.text
            font.pixelSize: Theme.bodySize
            wrapMode: Text.Wrap
            Accessible.name: text
        }
        CommandBox {
            visible: screen.view.manualCommand.length > 0
            Layout.fillWidth: true
            command: screen.view.manualCommand
            copyObjectName: "failure-ramp-copy"
            onCopyRequested: screen.view.copyManualCommand()
        }
        ActionButton {
            objectName: "failure-ramp-guide"
            text: qsTr("Read the guide")
            borderless: true
            onClicked: screen.app.openURL(screen.view.stageArticleURL)
        }
    }

    // ---- Homebrew first ----
    Banner {
        objectName: "homebrew-first-note"
        visible: screen.homebrewFirst
        Layout.fillWidth: true
        tone: "note"
        text: qsTr("This step installs with Homebrew, which isn't installed yet. Install Homebrew first, or skip.")
    }

    // ---- An ordinary stage: what its first action will do (its button is the
    // bottom bar's primary one), then any other action with its caption ----
    Label {
        objectName: "stage-action-caption"
        visible: screen.offersActions && screen.kind === "" && text.length > 0
        Layout.fillWidth: true
        text: screen.firstAction ? screen.firstAction.caption : ""
        color: Theme.text
        font.pixelSize: Theme.bodySize
        lineHeight: 1.3
        wrapMode: Text.Wrap
        Accessible.name: text
    }
    Repeater {
        model: screen.offersActions && screen.kind === "" ? screen.view.stageActions.slice(1) : []
        ColumnLayout {
            required property var modelData
            Layout.fillWidth: true
            spacing: 4
            ActionButton {
                objectName: modelData.id
                text: modelData.label
                onClicked: screen.view.approveAction(modelData.id)
            }
            Label {
                visible: text.length > 0
                Layout.fillWidth: true
                text: modelData.caption
                color: Theme.secondaryText
                font.pixelSize: Theme.captionSize
                wrapMode: Text.Wrap
                Accessible.name: text
            }
        }
    }

    // ---- Special stages ----
    Label {
        objectName: "special-title"
        // Not repeated when the stage's headline says the same.
        visible: screen.offersActions && text.length > 0 && text !== screen.title && screen.kind !== "groupedInstall"
        Layout.fillWidth: true
        text: screen.view.specialTitle
        color: Theme.text
        font.pixelSize: Theme.titleSize
        font.weight: Font.DemiBold
        wrapMode: Text.Wrap
        Accessible.role: Accessible.Heading
        Accessible.name: text
    }
    ActionButton {
        objectName: screen.view.specialObjectName
        visible: screen.offersActions && screen.kind === "groupedInstall"
        text: screen.view.specialTitle
        primary: true
        onClicked: screen.view.installChoices(screen.view.stageActions.map(action => action.id))
    }
    Repeater {
        model: screen.offersActions && screen.kind === "caskMultiselect" ? screen.view.caskChoices : []
        CheckRow {
            required property var modelData
            Layout.fillWidth: true
            boxObjectName: modelData.objectName
            label: modelData.label
            subtitle: modelData.subtitle
            installed: modelData.installed
            checked: !!screen.chosen[modelData.id]
            onToggled: (on) => screen.tick(modelData.id, on)
        }
    }
    Repeater {
        model: screen.offersActions && screen.kind === "languagesMultiselect" ? screen.view.languages : []
        CheckRow {
            required property var modelData
            Layout.fillWidth: true
            boxObjectName: "lang-" + modelData.key
            label: modelData.label
            subtitle: modelData.note
            subtitleObjectName: "lang-note-" + modelData.key
            installed: modelData.installed
            checked: !!screen.chosen[modelData.key]
            onToggled: (on) => screen.tick(modelData.key, on)
        }
    }
    CheckRow {
        visible: screen.offersActions && screen.kind === "languagesMultiselect" && screen.view.refreshOfferLabel.length > 0
        Layout.fillWidth: true
        boxObjectName: "refresh-brew-index"
        label: screen.view.refreshOfferLabel
        subtitle: screen.view.refreshExplanation
        checked: screen.refreshIndex
        onToggled: (on) => screen.refreshIndex = on
    }
    Repeater {
        model: screen.offersActions && screen.kind === "projectActions" ? screen.view.stageActions : []
        ColumnLayout {
            required property var modelData
            required property int index
            readonly property string suffix: index === 0 ? "" : "-" + index
            Layout.fillWidth: true
            spacing: Theme.gap
            Label {
                Layout.fillWidth: true
                text: modelData.label
                color: Theme.text
                font.pixelSize: Theme.bodySize
                font.weight: Font.DemiBold
                wrapMode: Text.Wrap
            }
            Label {
                visible: text.length > 0
                Layout.fillWidth: true
                text: modelData.caption
                color: Theme.secondaryText
                font.pixelSize: Theme.bodySize
                lineHeight: 1.3
                wrapMode: Text.Wrap
            }
            // A single project's buttons are the bottom bar's.
            Loader {
                Layout.fillWidth: true
                active: !screen.oneProject
                sourceComponent: Flow {
                    spacing: Theme.gap
                    ActionButton {
                        objectName: "create-project" + suffix
                        text: qsTr("Install in Documents")
                        primary: index === 0
                        onClicked: screen.view.createProject(modelData.id, "")
                    }
                    ActionButton {
                        objectName: "choose-project-folder" + suffix
                        text: qsTr("Choose my folder…")
                        onClicked: screen.view.chooseProjectFolder(modelData.id)
                    }
                }
            }
        }
    }
    Repeater {
        model: screen.offersActions && screen.kind === "skillsMultiselect" ? screen.view.skills : []
        CheckRow {
            required property var modelData
            Layout.fillWidth: true
            boxObjectName: "skill-" + modelData.slug
            label: modelData.label
            subtitle: modelData.badge
            installed: modelData.installed
            checked: !!screen.chosen[modelData.slug]
            onToggled: (on) => screen.tick(modelData.slug, on)
        }
    }
    Repeater {
        model: screen.offersActions && screen.kind === "mcpMultiselect" ? screen.view.mcpServers : []
        ColumnLayout {
            required property var modelData
            Layout.fillWidth: true
            spacing: 4
            CheckRow {
                Layout.fillWidth: true
                boxObjectName: "mcp-" + modelData.slug
                label: modelData.label
                subtitle: modelData.summary
                installed: modelData.added
                installedText: qsTr("Added")
                checked: !!screen.chosen[modelData.slug]
                onToggled: (on) => screen.tick(modelData.slug, on)
            }
            InputField {
                objectName: "mcp-key-" + modelData.slug
                visible: modelData.takesKey && !modelData.added
                Layout.fillWidth: true
                Layout.leftMargin: 32
                placeholderText: qsTr("API key (optional — unlocks full features)")
                echoMode: TextInput.Password
                inputMethodHints: Qt.ImhSensitiveData | Qt.ImhNoPredictiveText
                font.pixelSize: Theme.bodySize
                Accessible.name: placeholderText
                onTextEdited: {
                    const keys = Object.assign({}, screen.apiKeys)
                    keys[modelData.slug] = text
                    screen.apiKeys = keys
                }
            }
        }
    }
    LinkText {
        visible: screen.offersActions && (screen.kind === "skillsMultiselect" || screen.kind === "mcpMultiselect")
        app: screen.app
        url: screen.view.moreListsURL
        text: screen.kind === "skillsMultiselect" ? qsTr("Browse curated lists of more skills →")
                                                   : qsTr("Browse curated lists of more MCP servers →")
    }
    ColumnLayout {
        visible: screen.offersActions && screen.kind === "gitActions"
        Layout.fillWidth: true
        spacing: Theme.gap
        Label {
            objectName: "git-identity-set"
            visible: screen.view.gitIdentitySet
            Layout.fillWidth: true
            text: qsTr("Your Git name and email are already set. Sign in to GitHub to finish.")
            color: Theme.text
            font.pixelSize: Theme.bodySize
            wrapMode: Text.Wrap
            Accessible.name: text
        }
        InputField {
            id: gitName
            objectName: "git-name"
            visible: !screen.view.gitIdentitySet
            Layout.fillWidth: true
            placeholderText: qsTr("Your name")
            font.pixelSize: Theme.bodySize
            Accessible.name: placeholderText
        }
        InputField {
            id: gitEmail
            objectName: "git-email"
            visible: !screen.view.gitIdentitySet
            Layout.fillWidth: true
            placeholderText: "you@example.com"
            inputMethodHints: Qt.ImhEmailCharactersOnly
            font.pixelSize: Theme.bodySize
            Accessible.name: qsTr("Email")
        }
        LinkText {
            app: screen.app
            url: screen.view.gitSignUpURL
            text: qsTr("Create a GitHub account →")
        }
    }

    Label {
        objectName: "stage-footer"
        visible: text.length > 0 && !screen.failed
        Layout.fillWidth: true
        text: screen.view.footer
        color: Theme.secondaryText
        font.pixelSize: Theme.captionSize
        wrapMode: Text.Wrap
        Accessible.name: text
    }

    leadingActions: [
        ActionButton {
            objectName: "stage-skip"
            visible: !screen.failed
            text: qsTr("Skip")
            onClicked: screen.view.skipStage()
        },
        ActionButton {
            objectName: "failure-ramp-skip"
            visible: screen.failed
            text: qsTr("Skip this step")
            onClicked: screen.view.skipStage()
        }
    ]
    trailingActions: [
        ActionButton {
            id: firstActionButton
            objectName: screen.firstAction ? screen.firstAction.id : ""
            visible: screen.offersActions && screen.kind === "" && !!screen.firstAction
            text: screen.firstAction ? screen.firstAction.label : ""
            primary: true
            onClicked: screen.view.approveAction(screen.firstAction.id)
        },
        ActionButton {
            id: homebrewFirstButton
            objectName: "install-homebrew-first"
            visible: screen.homebrewFirst
            text: qsTr("Install Homebrew first")
            primary: true
            onClicked: screen.view.installHomebrewFirst()
        },
        ActionButton {
            id: retryButton
            objectName: "failure-ramp-retry"
            visible: screen.failed
            text: qsTr("Try again")
            primary: true
            onClicked: screen.view.retry()
        },
        ActionButton {
            objectName: "choose-project-folder"
            visible: screen.offersActions && screen.oneProject
            text: qsTr("Choose my folder…")
            onClicked: screen.view.chooseProjectFolder(screen.firstAction.id)
        },
        ActionButton {
            id: createProjectButton
            objectName: "create-project"
            visible: screen.offersActions && screen.oneProject
            text: qsTr("Install in Documents")
            primary: true
            onClicked: screen.view.createProject(screen.firstAction.id, "")
        },
        ActionButton {
            id: specialButton
            objectName: ({ "caskMultiselect": "install-selected", "languagesMultiselect": "install-languages",
                           "skillsMultiselect": "add-skills", "mcpMultiselect": "add-mcp",
                           "gitActions": "git-setup" })[screen.kind] || "special-install"
            visible: screen.offersActions && ["caskMultiselect", "languagesMultiselect", "skillsMultiselect",
                                               "mcpMultiselect", "gitActions"].indexOf(screen.kind) >= 0
            enabled: screen.kind === "gitActions" ? (screen.view.gitIdentitySet
                                                     || (gitName.text.trim().length > 0 && gitEmail.text.trim().length > 0))
                                                  : Object.keys(screen.chosen).length > 0
            text: ({ "caskMultiselect": qsTr("Install selected"),
                     "languagesMultiselect": qsTr("Install selected languages"),
                     "gitActions": qsTr("Set up Git") })[screen.kind] || qsTr("Add selected")
            primary: true
            onClicked: screen.primaryAction()
        }
    ]
}
