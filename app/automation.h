#pragma once

class QQuickWindow;

namespace bnch {

struct AppServices;
struct ProductConfig;
struct TelemetryConfiguration;

// A test-only automation endpoint. It is compiled only into builds made with the
// CMake option BNCH_AUTOMATION (on for development and CI, off for a release)
// and started only when BNCH_AUTOMATION_SOCKET names a socket path: the
// end-to-end tests drive the window through it as a person would.
//
// One command per line; every command gets one line of JSON back, {"ok": true,
// ...} or {"ok": false, "error": "..."}. A control is an item with that
// objectName that is visible now; "settled" is false while a page slides in.
//   find NAME            {"found", "enabled", "text", "settled"}
//   click NAME           a mouse click in the middle of the control
//   type NAME TEXT       focuses the control and types TEXT key by key
//   text TEXT            {"found"}: a visible item shows TEXT (part of its text)
//   property NAME PROP   {"value"}: a property of the control, as JSON
//   screenshot FILE      saves the window as a PNG
//   close                closes the window, as its close button does
//   quit                 asks the application to quit, as the Quit menu item does
// GUI thread only; the endpoint lives as long as the window.
void startAutomationIfAsked(QQuickWindow& window);

// BNCH_AUTOMATION_TELEMETRY=URL (with the socket above): usage events go to the
// collector at URL, whatever endpoint the build names.
void redirectTelemetryIfAsked(TelemetryConfiguration& configuration, const AppServices& services);

// BNCH_AUTOMATION_NETWORK_CHECK=URL (with the socket above): the readiness check
// measures the network against URL alone, so that a simulated Mac is online or
// offline as its scenario says, whatever the network of the machine running it.
ProductConfig networkCheckRedirectedIfAsked(const ProductConfig& product);

}  // namespace bnch
