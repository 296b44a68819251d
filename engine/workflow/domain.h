#pragma once

#include <string>
#include <string_view>

namespace bnch {

// The identifier of a domain, one stage of a spine ("clt", "shell-config", ...), as
// it is stored across launches, sent with usage events and used as a key of the
// render policy's tables. Code names a domain only through these constants, so a
// misspelt one does not compile; an identifier read at run time (a stage's
// domainID()) stays a string and compares with them.
class Domain {
 public:
  static const Domain clt, homebrew, shellConfig, warp, python, pythonProject, aiClaude, codex, editor, notes,
      languages, agentDocs, project, skills, mcp, git, java, javaPackage;

  constexpr std::string_view id() const { return id_; }
  // As a key of the render policy's tables and of what the run remembers.
  operator std::string() const { return std::string(id_); }

  friend constexpr bool operator==(Domain, Domain) = default;
  friend constexpr bool operator==(std::string_view text, Domain domain) { return text == domain.id_; }

 private:
  constexpr explicit Domain(std::string_view id) : id_(id) {}

  std::string_view id_;
};

inline constexpr Domain Domain::clt{"clt"};
inline constexpr Domain Domain::homebrew{"homebrew"};
inline constexpr Domain Domain::shellConfig{"shell-config"};
inline constexpr Domain Domain::warp{"warp"};
inline constexpr Domain Domain::python{"python"};
inline constexpr Domain Domain::pythonProject{"python-project"};
inline constexpr Domain Domain::aiClaude{"ai-claude"};
inline constexpr Domain Domain::codex{"codex"};
inline constexpr Domain Domain::editor{"editor"};
inline constexpr Domain Domain::notes{"notes"};
inline constexpr Domain Domain::languages{"languages"};
inline constexpr Domain Domain::agentDocs{"agent-docs"};
inline constexpr Domain Domain::project{"project"};
inline constexpr Domain Domain::skills{"skills"};
inline constexpr Domain Domain::mcp{"mcp"};
inline constexpr Domain Domain::git{"git"};
inline constexpr Domain Domain::java{"java"};
inline constexpr Domain Domain::javaPackage{"java-package"};

}  // namespace bnch
