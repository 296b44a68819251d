pragma Singleton
import QtQuick

// Colours, type sizes and spacing shared by every screen. Light or dark follows
// the system palette (the application's palette on every platform).
QtObject {
    readonly property SystemPalette system: SystemPalette { colorGroup: SystemPalette.Active }
    readonly property bool dark: system.window.hslLightness < 0.5

    // Text on these backgrounds stays above 4.5 : 1 in both appearances.
    readonly property color background: dark ? "#1c1d20" : "#f6f6f7"
    readonly property color surface: dark ? "#27282c" : "#ffffff"
    readonly property color separator: dark ? "#3b3c42" : "#dadade"
    readonly property color text: dark ? "#ececef" : "#1d1d1f"
    readonly property color secondaryText: dark ? "#b3b3ba" : "#55555c"
    readonly property color accent: dark ? "#5ea4ff" : "#0a5fcc"
    readonly property color accentPressed: dark ? "#3d8cf0" : "#084ea8"
    readonly property color textOnAccent: dark ? "#081729" : "#ffffff"
    readonly property color focusRing: dark ? "#9cc8ff" : "#1a73e8"
    // Status colours, always beside an icon and a word.
    readonly property color success: dark ? "#5fd38a" : "#1e7a3c"
    readonly property color danger: dark ? "#ff8a80" : "#b3261e"
    readonly property color warning: dark ? "#f2c14e" : "#8a5a00"
    readonly property color muted: dark ? "#9a9aa2" : "#6b6b73"
    // Banner fills: their text and their status colour stay above 4.5 : 1 on them.
    readonly property color warningFill: dark ? "#332a1a" : "#fdf4dd"
    readonly property color noteFill: dark ? "#1d2836" : "#e9f1fc"
    readonly property color dangerFill: dark ? "#3a2423" : "#fdeceb"
    readonly property string monospace: Qt.platform.os === "osx" ? "Menlo" : "DejaVu Sans Mono"

    readonly property int largeTitleSize: 26
    readonly property int headlineSize: 22
    readonly property int titleSize: 16
    readonly property int bodySize: 14
    readonly property int captionSize: 12

    // How a status is shown: a symbol and a word beside its colour, so that it
    // is never told by colour alone; `fill` is a banner's background.
    function statusLook(status) {
        switch (status) {
        case "ready": return { icon: "✓", word: qsTr("Ready"), color: success, fill: surface }
        case "fixable": return { icon: "→", word: qsTr("To do"), color: accent, fill: noteFill }
        case "blocked": return { icon: "■", word: qsTr("Needs attention"), color: danger, fill: dangerFill }
        case "failed": return { icon: "!", word: qsTr("Didn’t finish"), color: danger, fill: dangerFill }
        case "skipped": return { icon: "–", word: qsTr("Skipped"), color: muted, fill: surface }
        case "unknown": return { icon: "?", word: qsTr("Unknown"), color: muted, fill: surface }
        case "warning": return { icon: "⚠", word: qsTr("Warning"), color: warning, fill: warningFill }
        case "note": return { icon: "ℹ", word: qsTr("Note"), color: accent, fill: noteFill }
        }
        return { icon: "•", word: "", color: muted, fill: surface }
    }

    readonly property int gap: 8
    readonly property int margin: 32
    readonly property int contentWidth: 560
}
