#include "engine/verification/post_install_checker.h"

#include <exception>

#include "engine/platform/shell_quote.h"
#include "engine/probes/probe_files.h"
#include "engine/verification/command_text.h"

namespace bnch {

namespace {

constexpr std::string_view kReportedSuccess = "the install reported success but ";

std::string joinedWithOr(const std::vector<std::string>& items) {
  std::string joined;
  for (const std::string& item : items) {
    if (!joined.empty()) joined += " or ";
    joined += item;
  }
  return joined;
}

}  // namespace

std::optional<std::string> PostInstallChecker::check(const PostInstallCheck& postInstallCheck) const {
  using Kind = PostInstallCheck::Kind;
  switch (postInstallCheck.kind) {
    case Kind::appBundle: {
      const std::filesystem::path userApplications = fs_.homeDirectory() / "Applications";
      for (const std::string& name : postInstallCheck.anyOf) {
        if (fs_.fileExists("/Applications/" + name) || fs_.fileExists(userApplications / name)) return std::nullopt;
      }
      return std::string(kReportedSuccess) + joinedWithOr(postInstallCheck.anyOf) +
             " is not in /Applications or ~/Applications";
    }
    case Kind::command: {
      const std::optional<bool> resolves = commandResolves(postInstallCheck.command);
      if (!resolves) {
        return std::string(kReportedSuccess) + "whether `" + postInstallCheck.command +
               "` resolves on the login shell's PATH is undetermined: the shell didn't answer in time";
      }
      if (*resolves) return std::nullopt;
      return std::string(kReportedSuccess) + "`" + postInstallCheck.command +
             "` does not resolve on the login shell's PATH";
    }
    case Kind::executable: {
      for (const std::string& path : postInstallCheck.anyOf) {
        const std::filesystem::path expanded =
            path.starts_with("~/") ? fs_.homeDirectory() / path.substr(2) : std::filesystem::path(path);
        if (fs_.isExecutableFile(expanded)) return std::nullopt;
      }
      return std::string(kReportedSuccess) + "there is no executable at " + joinedWithOr(postInstallCheck.anyOf);
    }
    case Kind::directoryPrefixed: {
      std::vector<std::string> entries;
      try {
        entries = fs_.contentsOfDirectory(postInstallCheck.parent);
      } catch (const std::exception&) {
        // An unreadable or missing folder holds nothing.
      }
      for (const std::string& entry : entries) {
        if (entry.starts_with(postInstallCheck.prefix)) return std::nullopt;
      }
      return std::string(kReportedSuccess) + "no " + postInstallCheck.prefix + "* directory exists in " +
             postInstallCheck.parent;
    }
    case Kind::none:
      return std::nullopt;
  }
  return std::nullopt;
}

// The way the profiler finds command-line tools: `which -a` in a new Terminal
// window; a path is a line that names an existing file (an alias is no file).
// A window stopped at its time limit leaves it undetermined.
std::optional<bool> PostInstallChecker::commandResolves(const std::string& name) const {
  const ShellOutput which = runTrimmed(shell_, "/usr/bin/which -a " + shellSingleQuote(name), ShellForm::newTerminal);
  if (which.timedOut) return std::nullopt;
  return which.exitCode == 0 && !ProbeFiles::existingPathLines(fs_, which.output).empty();
}

}  // namespace bnch
