#pragma once

#include <string>
#include <vector>

namespace bnch {

// A folder of agent instructions offered to the user.
struct AgentSkill {
  struct Source {
    enum class Kind { bundle, fetch };
    Kind kind = Kind::bundle;
    std::string name;     // bundle: folder in the app's "skills" resources
    std::string repo;     // fetch: GitHub "owner/name"
    std::string subpath;  // fetch: folder in the repository ("." = root)
    std::string pin;      // fetch: commit

    static Source bundle(std::string name) { return {Kind::bundle, std::move(name), {}, {}, {}}; }
    static Source fetch(std::string repo, std::string subpath, std::string pin) {
      return {Kind::fetch, {}, std::move(repo), std::move(subpath), std::move(pin)};
    }
    bool operator==(const Source&) const = default;
  };

  std::string slug;
  std::string displayName;
  std::string badge;
  Source source;
  bool preselected = false;
  bool developerOnly = false;

  // The skills offered, in order.
  static const std::vector<AgentSkill>& offered();

  bool operator==(const AgentSkill&) const = default;
};

}  // namespace bnch
