#pragma once

#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace bnch {

// Finding Apple's Command Line Tools in a `softwareupdate -l` listing and building
// the privileged script that installs them.
//
// Only entries of the form "* Label: <label>" are read (macOS 10.15 and later);
// the older "* <label>" entries carry no "Label:" and are ignored, so on those
// systems no label is found and the person is told to run xcode-select.

// The marker file that makes the software-update service list the tools.
inline constexpr std::string_view kCommandLineToolsMarker =
    "/tmp/.com.apple.dt.CommandLineTools.installondemand.in-progress";

// The label to install, or nothing when the listing offers none.
//
// Candidates are the lines holding both "Label:" and "Command Line Tools"; the
// label is the text after the first "Label:", trimmed of spaces and tabs. Of
// several, the greatest under commandLineToolsLabelLess wins, except that a
// release label is always preferred to a beta one ("Command Line Tools beta 2
// for Xcode-16.0"): betas are taken only when nothing else is offered.
std::optional<std::string> parseCommandLineToolsLabel(std::string_view listing);

// The order of labels: the lists of their digit runs (each read as an integer, 0
// when it does not fit) compared element by element, a prefix being smaller;
// equal lists fall back to plain string order. "…-16.0" is above "…-16" and
// "…-15.3".
bool commandLineToolsLabelLess(std::string_view a, std::string_view b);

// Whether the label names a beta (the word "beta" in any case).
bool isBetaCommandLineToolsLabel(std::string_view label);

struct CommandLineToolsLookup {
  std::optional<std::string> label;
  std::string listing;  // the last listing read (for the summary when no label)
  int attempts = 0;     // 1, or 2 when the first listing offered nothing

  bool operator==(const CommandLineToolsLookup&) const = default;
};

// Reads the listing (standard output + "\n" + standard error of
// `softwareupdate -l`) and parses it; when no label is found, reads and parses a
// fresh listing once more at once. A `list` that throws counts as an empty
// listing.
CommandLineToolsLookup lookUpCommandLineToolsLabel(const std::function<std::string()>& list);

// The listing as shown after "Apple's software-update listing was:": trimmed of
// spaces and line breaks; "(softwareupdate -l produced no output)" when empty;
// beyond 700 characters "…(truncated)", a line break and the last 700 characters
// (counted in bytes, moved forward to a character boundary so no UTF-8 sequence
// is cut).
std::string softwareUpdateListingSummary(std::string_view listing);

// The script run as `sudo -A /bin/bash -c SCRIPT`: installs the label (single
// quoted), removes the marker, switches xcode-select to the tools and exits 0
// only when /Library/Developer/CommandLineTools exists.
std::string commandLineToolsInstallScript(std::string_view label);

// The words the Command Line Tools job shows.
struct CommandLineToolsText {
  static constexpr std::string_view checking = "Checking with Apple for the Command Line Tools…";
  static constexpr std::string_view notOffered =
      "macOS didn’t offer a Command Line Tools package to install. You can install them "
      "yourself: open Terminal and run  xcode-select --install";
  static constexpr std::string_view listingHeading = "Apple's software-update listing was:";
  static constexpr std::string_view foundPrefix = "Found: ";
  static constexpr std::string_view passwordPrompt = "Enter your Mac password to install Apple's Command Line Tools.";
  static constexpr std::string_view couldNotStartPrefix = "Couldn't start the install: ";
  static constexpr std::string_view installing =
      "Installing Apple's Command Line Tools… macOS will ask for your password once. The "
      "download can take several minutes — please keep this window open.";
  static constexpr std::string_view notCompleted =
      "The Command Line Tools install didn’t complete. You can install them yourself: open "
      "Terminal and run  xcode-select --install";
  static constexpr std::string_view installed = "Command Line Tools installed.";
};

}  // namespace bnch
