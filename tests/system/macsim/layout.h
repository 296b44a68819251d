// Lays a scenario out as a simulated disk in a host folder.
//
// Folder shape (ROOT is a fresh mkdtemp folder):
//   ROOT/Users/<user> Applications Library System opt usr/local tmp   the Mac's own tree
//   ROOT/etc/{passwd,group,profile,zprofile}                          bound over Debian's /etc files
//   ROOT/.macsim/machine.env, programs/, state/, sysbin/<path>        configuration and fakes
// Every write goes below ROOT; a scenario path outside the simulated tree is an error.
#pragma once

#include <filesystem>
#include <map>
#include <set>
#include <string>

#include "scenario.h"

namespace macsim {

struct LayoutOptions {
  std::filesystem::path fakesDir;  // tests/system/fakes of the source tree
  bool rootMode = false;           // caller is root: ROOT is chowned for uid/gid of the user
  // Where the records printed by fakes/lib/tools.sh are kept between runs (keyed by the
  // script, the library and the fakes present); empty: no cache.
  std::filesystem::path cacheDir;
};

struct Layout {
  std::filesystem::path root;
  // System programs: sandbox path (e.g. /usr/bin/uname) -> host file to bind there.
  std::map<std::string, std::filesystem::path> systemPrograms;
  // System paths a scenario removed ("absent": true); no farm link is made for them.
  std::set<std::string> absent;
};

// Lays out `scenario` into the existing, empty folder `root`. Throws ScenarioError or
// std::filesystem::filesystem_error.
Layout layOut(const Scenario& scenario, const std::filesystem::path& root, const LayoutOptions& options);

// Removes a laid-out folder, also the parts whose directories were made read-only.
void removeTree(const std::filesystem::path& root);

}  // namespace macsim
