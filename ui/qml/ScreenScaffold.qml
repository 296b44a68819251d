import QtQuick
import QtQuick.Controls
import QtQuick.Layouts
import Benchkit

// The frame of every full-window screen: headline, one explainer paragraph,
// an optional article link, the screen's own content (scrolling inside its own
// area when it grows), and a fixed bottom bar with actions left and right, so
// buttons never move when texts change length.
Item {
    id: scaffold
    property string title
    property int titleSize: Theme.headlineSize
    property string explainer
    property string titleObjectName
    property string explainerObjectName
    property string articleURL
    property RootModel app
    property string windowTitle: app ? app.displayName : ""
    // Centre the content vertically when it fits (a screen with little to say).
    property bool centred: false
    // The screen's primary button: Return or Enter presses it while it is shown
    // and enabled, and it has the keyboard focus when the screen appears.
    property Item primaryAction: null
    default property alias content: contentColumn.data
    property alias leadingActions: leadingRow.data
    property alias trailingActions: trailingRow.data

    Rectangle { anchors.fill: parent; color: Theme.background }

    ColumnLayout {
        anchors.fill: parent
        spacing: 0

        ScrollView {
            id: scroller
            Layout.fillWidth: true
            Layout.fillHeight: true
            contentWidth: availableWidth
            clip: true

            ColumnLayout {
                id: column
                width: Math.min(scroller.availableWidth - 2 * Theme.margin, Theme.contentWidth)
                x: (scroller.availableWidth - width) / 2
                y: scaffold.centred ? Math.max(0, (scroller.availableHeight - implicitHeight) / 2 - Theme.margin) : 0
                spacing: Theme.gap * 2

                Item { Layout.preferredHeight: Theme.margin + Theme.gap }
                Label {
                    objectName: scaffold.titleObjectName
                    Layout.fillWidth: true
                    text: scaffold.title
                    color: Theme.text
                    font.pixelSize: scaffold.titleSize
                    font.weight: Font.DemiBold
                    wrapMode: Text.Wrap
                    Accessible.role: Accessible.Heading
                    Accessible.name: text
                }
                Label {
                    objectName: scaffold.explainerObjectName
                    Layout.fillWidth: true
                    visible: text.length > 0
                    text: scaffold.explainer
                    color: Theme.secondaryText
                    font.pixelSize: Theme.bodySize
                    lineHeight: 1.4
                    wrapMode: Text.Wrap
                    Accessible.name: text
                }
                LinkText {
                    visible: scaffold.articleURL.length > 0
                    url: scaffold.articleURL
                    app: scaffold.app
                    text: qsTr("Read the article on Quillora")
                    font.pixelSize: Theme.captionSize
                }
                ColumnLayout {
                    id: contentColumn
                    Layout.fillWidth: true
                    Layout.fillHeight: false
                    spacing: Theme.gap * 2
                }
                // Takes any height the layout has to spare, so the content keeps its spacing.
                Item { Layout.preferredHeight: Theme.gap * 2; Layout.fillHeight: true }
            }
        }

        Rectangle { Layout.fillWidth: true; Layout.preferredHeight: 1; color: Theme.separator }
        Rectangle {
            Layout.fillWidth: true
            Layout.preferredHeight: 68
            color: Theme.surface
            // Actions line up with the content column's edges.
            RowLayout {
                anchors.verticalCenter: parent.verticalCenter
                anchors.horizontalCenter: parent.horizontalCenter
                width: column.width
                spacing: Theme.gap * 2
                // Each side keeps its natural width and shares the shortfall when
                // long labels would not fit beside each other (see ActionButton).
                RowLayout {
                    id: leadingRow
                    readonly property bool shrinksActions: true
                    spacing: Theme.gap
                    Layout.fillWidth: true
                    Layout.maximumWidth: implicitWidth
                }
                Item { Layout.fillWidth: true }
                RowLayout {
                    id: trailingRow
                    readonly property bool shrinksActions: true
                    spacing: Theme.gap
                    Layout.fillWidth: true
                    Layout.maximumWidth: implicitWidth
                }
            }
        }
    }

    Shortcut {
        sequences: ["Return", "Enter"]
        enabled: scaffold.visible && !!scaffold.primaryAction && scaffold.primaryAction.visible
                 && scaffold.primaryAction.enabled
        onActivated: scaffold.primaryAction.clicked()
    }
    Component.onCompleted: if (primaryAction) primaryAction.forceActiveFocus()
}
