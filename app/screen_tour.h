#pragma once

class QQuickItem;
class QQuickWindow;
class QString;

namespace bnch {

// BNCH_APPEARANCE=dark or light: the window's appearance, whatever the system's
// (screenshots of both, on a desktop that has only one).
void applyAppearanceOverride();

// Two developer aids, both off unless their variable is set:
// - BNCH_SCREENSHOTS=DIR walks the primary path as a person who approves every
//   install does (on a real machine it really installs: meant for the simulated
//   Mac): each screen reached is saved at the minimum window size as
//   DIR/<name>-light.png and -dark.png, then its main button is pressed; the
//   program quits at the satisfaction question, or at a screen that has no way
//   on. Each file saved is named on standard error.
// - BNCH_FIRST_FRAME_FILE=FILE writes the monotonic clock (nanoseconds) at the
//   first frame that shows the welcome screen into FILE and quits (the
//   start-up benchmark).
void startScreenTourIfAsked(QQuickWindow& window);

// The first visible item of the window with this objectName, searched through
// the visual tree (items a Repeater made have no QObject parent to find them by).
QQuickItem* findVisibleItem(QQuickWindow& window, const QString& name);

}  // namespace bnch
