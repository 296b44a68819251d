#include "engine/probes/system_profiler.h"
#include "engine/platform/text.h"

#include <pwd.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <exception>
#include <functional>
#include <future>

#include "engine/contracts/homebrew_contract.h"
#include "engine/probes/java_probe.h"
#include "engine/probes/probe_files.h"
#include "engine/probes/probe_text.h"
#include "engine/probes/property_list.h"
#include "engine/probes/xcode_clt_probe.h"

namespace bnch {
namespace {

constexpr const char* sysctlPath = "/usr/sbin/sysctl";
constexpr const char* unamePath = "/usr/bin/uname";
constexpr const char* whichPath = "/usr/bin/which";
constexpr const char* dseditgroupPath = "/usr/sbin/dseditgroup";

// Starts `work` on its own thread; a probe that throws after all gives `fallback`.
template <class T>
std::future<T> startProbe(std::function<T()> work, T fallback) {
  return std::async(std::launch::async, [work = std::move(work), fallback = std::move(fallback)]() -> T {
    try {
      return work();
    } catch (const std::exception&) {
      return fallback;
    }
  });
}

std::optional<std::string> environmentValue(const char* name) {
  const char* value = std::getenv(name);
  if (value == nullptr) return std::nullopt;
  return std::string(value);
}

}  // namespace

ProfilerEnvironment ProfilerEnvironment::current() {
  ProfilerEnvironment environment;
  environment.shell = environmentValue("SHELL");
  environment.user = environmentValue("USER");
  if (!environment.user) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found != nullptr &&
        found->pw_name != nullptr) {
      environment.user = std::string(found->pw_name);
    }
  }
  return environment;
}

SystemProfiler::SystemProfiler(const ShellRunner& shell, const FileSystemOperating& fs, ProfilerEnvironment environment,
                               std::chrono::milliseconds timeLimit)
    : process_(shell.process(), timeLimit), fs_(fs), environment_(std::move(environment)) {}

SystemProfile SystemProfiler::profile() const {
  using Path = std::optional<std::string>;
  auto architectureTask = startProbe<Architecture>([this] { return architecture(); }, Architecture::unknown);
  auto shellTask = startProbe<Shell>([this] { return shell(); }, Shell::other("unknown"));
  auto homebrewTask = startProbe<Path>([this] { return homebrew(); }, std::nullopt);
  auto sdkmanTask = startProbe<Path>([this] { return sdkmanRoot(); }, std::nullopt);
  auto miseTask = startProbe<Path>([this] { return miseExecutable(); }, std::nullopt);
  auto jenvTask = startProbe<Path>([this] { return folderUnderHome(".jenv"); }, std::nullopt);
  auto asdfTask = startProbe<Path>([this] { return folderUnderHome(".asdf"); }, std::nullopt);
  auto developerTask = startProbe<Path>([this] { return XcodeCLTProbe(process_).probe(); }, std::nullopt);
  auto javaTask = startProbe<ProbeBundle>([this] { return JavaProbe(process_, fs_).probe(); }, ProbeBundle{});
  auto aiTask = startProbe<AITooling>([this] { return aiTooling(); }, AITooling{});
  auto terminalsTask = startProbe<Terminals>([this] { return terminals(); }, Terminals{});
  auto editorsTask = startProbe<MarkdownEditors>([this] { return markdownEditors(); }, MarkdownEditors{});
  auto administratorTask = startProbe<bool>([this] { return isAdministrator(); }, true);

  SystemProfile profile;
  profile.macosVersion = macosVersion();
  profile.architecture = architectureTask.get();
  profile.shell = shellTask.get();
  profile.homebrewPrefix = homebrewTask.get();
  profile.sdkmanRoot = sdkmanTask.get();
  profile.miseExecutable = miseTask.get();
  profile.jenvRoot = jenvTask.get();
  profile.asdfRoot = asdfTask.get();
  profile.xcodeCommandLineToolsPath = developerTask.get();
  profile.javaState = javaTask.get();
  profile.aiTooling = aiTask.get();
  profile.terminals = terminalsTask.get();
  profile.markdownEditors = editorsTask.get();
  profile.isAdministrator = administratorTask.get();
  return profile;
}

Architecture SystemProfiler::architecture() const {
  const ProbeRun sysctl =
      process_.run(ProcessRequest{.executable = sysctlPath, .arguments = {"-in", "hw.optional.arm64"}});
  if (ProbeText::trimWhitespace(sysctl.output) == "1") return Architecture::appleSilicon;
  const std::string machine =
      ProbeText::trimWhitespace(process_.run(ProcessRequest{.executable = unamePath, .arguments = {"-m"}}).output);
  if (machine == "arm64") return Architecture::appleSilicon;
  if (machine == "x86_64") return Architecture::intel;
  return Architecture::unknown;
}

OperatingSystemVersion SystemProfiler::macosVersion() const {
  const auto bytes = ProbeFiles::readBytes(fs_, std::string(systemVersionPlist));
  if (!bytes) return {};
  const auto plist = PropertyList::parse(*bytes);
  if (!plist) return {};
  const auto* version = plist->find("ProductVersion");
  if (version == nullptr || version->string() == nullptr) return {};
  return versionFromText(*version->string());
}

OperatingSystemVersion SystemProfiler::versionFromText(std::string_view productVersion) {
  const std::string text = ProbeText::trimWhitespace(productVersion);
  int parts[3] = {0, 0, 0};
  std::size_t start = 0;
  for (int index = 0; index < 3; ++index) {
    std::size_t end = text.find('.', start);
    if (end == std::string::npos) end = text.size();
    const std::string_view part = std::string_view(text).substr(start, end - start);
    if (part.empty() || part.size() > 6 ||
        !std::all_of(part.begin(), part.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return {};
    }
    parts[index] = std::stoi(std::string(part));
    if (end == text.size()) break;
    start = end + 1;
    if (index == 2) return {};  // more than three parts
  }
  return OperatingSystemVersion{parts[0], parts[1], parts[2]};
}

Shell SystemProfiler::shell() const { return shellFromVariable(environment_.shell); }

Shell SystemProfiler::shellFromVariable(const std::optional<std::string>& value) {
  // The last path component, as a path reads it: trailing slashes do not end a
  // component ("/bin/zsh/" names zsh), and "/" alone names no program.
  std::string path = value.value_or("");
  while (!path.empty() && path.back() == '/') path.pop_back();
  const std::size_t slash = path.rfind('/');
  std::string name = slash == std::string::npos ? path : path.substr(slash + 1);
  if (name == "zsh") return Shell::zsh();
  if (name == "bash") return Shell::bash();
  if (name == "fish") return Shell::fish();
  if (name.empty()) return Shell::other("unknown");
  return Shell::other(std::move(name));
}

std::optional<std::string> SystemProfiler::homebrew() const { return HomebrewContract::findBrew(fs_); }

std::optional<std::string> SystemProfiler::sdkmanRoot() const {
  const auto root = fs_.homeDirectory() / ".sdkman";
  if (!ProbeFiles::isFile(fs_, root / "bin" / "sdkman-init.sh")) return std::nullopt;
  return root.string();
}

std::optional<std::string> SystemProfiler::miseExecutable() const {
  const std::vector<std::string> candidates{"/opt/homebrew/bin/mise", "/usr/local/bin/mise",
                                            (fs_.homeDirectory() / ".local/bin/mise").string()};
  for (const auto& candidate : candidates) {
    if (ProbeFiles::isExecutableFile(fs_, candidate)) return candidate;
  }
  const auto which = process_.askTerminal(std::string(whichPath) + " mise");
  if (!which || which->exitCode != 0) return std::nullopt;
  const std::string path = ProbeText::trimWhitespace(which->output);
  if (path.empty() || !ProbeText::isFaithful(path) || !ProbeFiles::isExecutableFile(fs_, path)) return std::nullopt;
  return path;
}

std::optional<std::string> SystemProfiler::folderUnderHome(std::string_view name) const {
  const auto folder = fs_.homeDirectory() / name;
  if (!ProbeFiles::isFolder(fs_, folder)) return std::nullopt;
  return folder.string();
}

bool SystemProfiler::applicationExists(std::string_view appName) const {
  if (ProbeFiles::isFolder(fs_, "/Applications/" + std::string(appName))) return true;
  return ProbeFiles::isFolder(fs_, fs_.homeDirectory() / "Applications" / appName);
}

bool SystemProfiler::commandExists(std::string_view name) const {
  const auto which = process_.askTerminal(std::string(whichPath) + " " + std::string(name));
  if (which && which->exitCode == 0 && ProbeText::isFaithful(which->output) &&
      !ProbeText::trimWhitespace(which->output).empty()) {
    return true;
  }
  for (std::string_view folder : HomebrewContract::binFolders) {
    if (ProbeFiles::isExecutableFile(fs_, std::string(folder) + "/" + std::string(name))) return true;
  }
  return false;
}

std::vector<std::string> SystemProfiler::cliLocations(std::string_view name,
                                                      const std::vector<std::string>& extraCandidates) const {
  const auto which = process_.askTerminal("/usr/bin/which -a " + std::string(name));
  std::vector<std::string> found;
  if (which && which->exitCode == 0) found = ProbeFiles::existingPathLines(fs_, which->output);
  std::vector<std::string> candidates;
  for (std::string_view folder : HomebrewContract::binFolders)
    candidates.push_back(std::string(folder) + "/" + std::string(name));
  candidates.push_back((fs_.homeDirectory() / ".local/bin" / name).string());
  candidates.insert(candidates.end(), extraCandidates.begin(), extraCandidates.end());
  for (auto& candidate : candidates) {
    if (ProbeFiles::isFile(fs_, candidate)) found.push_back(std::move(candidate));
  }
  std::sort(found.begin(), found.end());
  found.erase(std::unique(found.begin(), found.end()), found.end());
  return found;
}

AITooling SystemProfiler::aiTooling() const {
  auto app = [this](std::string name) {
    return startProbe<bool>([this, name] { return applicationExists(name); }, false);
  };
  auto command = [this](std::string name) {
    return startProbe<bool>([this, name] { return commandExists(name); }, false);
  };
  using Locations = std::vector<std::string>;

  auto claudeDesktop = app("Claude.app");
  auto cursor = app("Cursor.app");
  auto chatgpt = app("ChatGPT.app");
  auto vsCode = app("Visual Studio Code.app");
  auto windsurf = app("Windsurf.app");
  auto kiro = app("Kiro.app");
  auto antigravity = app("Antigravity.app");
  auto zed = app("Zed.app");
  auto replit = app("Replit.app");
  auto warp = app("Warp.app");
  auto intellij = app("IntelliJ IDEA.app");
  auto intellijCE = app("IntelliJ IDEA CE.app");
  auto claudeCLI = command("claude");
  auto codexCLI = command("codex");
  auto aider = command("aider");
  const std::string claudeLocal = (fs_.homeDirectory() / ".claude/local/claude").string();
  auto claudeLocations =
      startProbe<Locations>([this, claudeLocal] { return cliLocations("claude", {claudeLocal}); }, Locations{});
  auto codexLocations = startProbe<Locations>([this] { return cliLocations("codex", {}); }, Locations{});

  AITooling tooling;
  tooling.claudeCodeDesktop = claudeDesktop.get();
  tooling.cursor = cursor.get();
  tooling.chatgptDesktop = chatgpt.get();
  tooling.vsCode = vsCode.get();
  tooling.windsurf = windsurf.get();
  tooling.kiro = kiro.get();
  tooling.antigravity = antigravity.get();
  tooling.zed = zed.get();
  tooling.replit = replit.get();
  tooling.warpApp = warp.get();
  const bool ultimate = intellij.get();
  const bool community = intellijCE.get();
  tooling.intellij = ultimate || community;
  tooling.claudeCodeCLI = claudeCLI.get();
  tooling.codexCLI = codexCLI.get();
  tooling.aider = aider.get();
  tooling.claudeCliLocations = claudeLocations.get();
  tooling.codexCliLocations = codexLocations.get();
  return tooling;
}

Terminals SystemProfiler::terminals() const {
  return Terminals{
      .iterm = applicationExists("iTerm.app"),
      .ghostty = applicationExists("Ghostty.app"),
      .warp = applicationExists("Warp.app"),
      .hyper = applicationExists("Hyper.app"),
      .alacritty = applicationExists("Alacritty.app"),
      .kitty = applicationExists("kitty.app"),
      .wezterm = applicationExists("WezTerm.app"),
  };
}

MarkdownEditors SystemProfiler::markdownEditors() const {
  return MarkdownEditors{.zettlr = applicationExists("Zettlr.app"), .obsidian = applicationExists("Obsidian.app")};
}

bool SystemProfiler::isAdministrator() const {
  const std::string user = environment_.user.value_or("");
  if (user.empty()) return true;
  const ProbeRun answer = process_.run(
      ProcessRequest{.executable = dseditgroupPath, .arguments = {"-o", "checkmember", "-m", user, "admin"}});
  return administratorFromAnswer(answer.output).value_or(true);
}

std::optional<bool> SystemProfiler::administratorFromAnswer(std::string_view answer) {
  if (!ProbeText::isFaithful(answer)) return std::nullopt;
  const std::string text = lowercasedASCII(ProbeText::trimWhitespace(answer));
  if (text.starts_with("yes")) return true;
  if (text.starts_with("no")) return false;
  return std::nullopt;
}

}  // namespace bnch
