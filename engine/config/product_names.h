#pragma once

#include <string>
#include <string_view>

namespace bnch {

// How a product names itself on disk and in what it writes: plain data that the
// writers, the verifier and telemetry are given by whoever builds them.
struct ProductNames {
  std::string appID;
  std::string displayName;
  std::string appSupportDirName;
  std::string userDefaultsPrefix;
  std::string shellConfigMarker;
  bool datedShellMarker = false;
  std::string cacheDirName;

  // The full user-defaults key for a suffix that begins with a dot (".consented").
  std::string defaultsKey(std::string_view suffix) const { return userDefaultsPrefix + std::string(suffix); }

  // The comment line above every block appended to a shell start-up file:
  // "# Benchkit — <title>" (with the date after "# " when datedShellMarker).
  std::string shellMarkerLine(std::string_view title) const;
};

}  // namespace bnch
