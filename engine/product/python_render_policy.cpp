#include "engine/product/python_render_policy.h"

#include <array>
#include <mutex>

#include "engine/probes/python_ownership.h"
#include "engine/telemetry/usage_events.h"
#include "engine/workflow/domain.h"

namespace bnch {

namespace {

using OriginKind = PythonInstall::Origin::Kind;

std::string originLabel(const PythonInstall::Origin& origin) {
  switch (origin.kind) {
    case OriginKind::apple:
      return "Apple";
    case OriginKind::pythonOrg:
      return "python.org";
    case OriginKind::homebrew:
      return "Homebrew";
    case OriginKind::uv:
      return "uv";
    case OriginKind::competing:
      return origin.owner;
  }
  return origin.owner;
}

std::string location(const PythonInstall& install, const std::string& home) {
  // An empty home folder would make every absolute path "in your home folder".
  if (!home.empty() && (install.path == home || install.path.rfind(home + "/", 0) == 0)) {
    return "in your home folder";
  }
  const auto slash = install.path.rfind('/');
  const std::string folder = slash == std::string::npos ? install.path : install.path.substr(0, slash);
  return "in " + folder;
}

std::string installRow(const PythonInstall& install, const std::string& home) {
  std::string row = "Python";
  if (install.version) row += " " + *install.version;
  row += " \u2014 " + originLabel(install.origin) + ", " + location(install, home);
  if (install.origin.kind == OriginKind::apple) row += " \u2014 only for macOS system use, not for you to use";
  return row;
}

std::string commandRow(const PythonCommandResolution& resolution, const PythonInventory& inventory) {
  std::string row = "`" + resolution.command + "` \u2014 ";
  if (!resolution.resolvedPath) return row + "not found";
  const std::optional<PythonInstall> owner = PythonOwnership::owner(resolution, inventory);
  if (!owner) return row + "found";
  row += originLabel(owner->origin);
  if (owner->version) row += " " + *owner->version;
  return row;
}

std::optional<std::string> competingOwnerOf(const PythonCommandResolution& resolution,
                                            const PythonInventory& inventory) {
  const std::optional<PythonInstall> owner = PythonOwnership::owner(resolution, inventory);
  if (owner && owner->origin.kind == OriginKind::competing) return owner->origin.owner;
  return std::nullopt;
}

bool isDeclinedOwner(const std::string& owner) {
  return owner == "conda" || owner == "pyenv" || owner == "asdf" || owner == "rye";
}

struct TrackerSlot {
  std::mutex mutex;
  std::shared_ptr<UsageEventTracking> tracker;
};

TrackerSlot& sharedTrackerSlot() {
  static TrackerSlot slot;
  return slot;
}

std::shared_ptr<UsageEventTracking> sharedTracker() {
  TrackerSlot& slot = sharedTrackerSlot();
  std::lock_guard lock(slot.mutex);
  return slot.tracker;
}

void sendOutcomeReported(UsageEventTracking* tracker, const std::optional<std::string>& engineOutcome,
                         const std::string& selfReport) {
  if (!tracker) return;
  track(*tracker, usage_events::outcomeReported(engineOutcome, selfReport == "resolved"));
}

SpineRenderPolicy::CaskChoice choice(std::string label, std::optional<std::string> subtitle, std::string remediationID,
                                     std::string accessibilityID) {
  return {std::move(label), std::move(subtitle), std::move(remediationID), std::move(accessibilityID)};
}

SpineRenderPolicy::SpecialStageKind cask(std::string title, std::string installID,
                                         std::vector<SpineRenderPolicy::CaskChoice> items) {
  SpineRenderPolicy::SpecialStageKind kind;
  kind.kind = SpineRenderPolicy::SpecialStageKind::Kind::caskMultiselect;
  kind.title = std::move(title);
  kind.installID = std::move(installID);
  kind.items = std::move(items);
  return kind;
}

SpineRenderPolicy::SpecialStageKind plain(SpineRenderPolicy::SpecialStageKind::Kind k) {
  SpineRenderPolicy::SpecialStageKind kind;
  kind.kind = k;
  return kind;
}

SpineRenderPolicy buildPolicy() {
  using Special = SpineRenderPolicy::SpecialStageKind::Kind;
  SpineRenderPolicy policy;
  policy.summaryExcludedDomains = {Domain::warp};
  policy.offers = {{Domain::warp, {"warp", "post_homebrew", "warp_not_installed"}}};
  policy.homebrewIndependentDomains = {Domain::clt,     Domain::homebrew, Domain::shellConfig, Domain::git,
                                       Domain::project, Domain::skills,   Domain::mcp};
  policy.advanceOnPartialFailureDomains = {Domain::languages, Domain::project, Domain::pythonProject, Domain::skills,
                                           Domain::mcp};
  policy.stageArticlePaths = {
      {Domain::clt, "commandlinetools"},
      {Domain::shellConfig, "terminal/configuration"},
      {Domain::homebrew, "homebrew"},
      {Domain::warp, "download/warp"},
      {Domain::python, "python/uv"},
      {Domain::pythonProject, "python/uv"},
      {Domain::git, "git"},
      {Domain::aiClaude, "claude-code/install"},
      {Domain::codex, "ai/chatgpt-desktop"},
      {Domain::editor, "download/zed"},
      {Domain::languages, "mise"},
  };
  policy.fallbackArticlePath = "benchkit/coming-soon";
  policy.privilegedActionReason = "Set up Python";
  policy.privilegedReasons = {{"brew:temurin", "Enter a password to install Java"}};
  policy.networkReadiness = NetworkReadinessConfig::python();
  policy.diskReadiness = DiskReadinessConfig::python();
  policy.remediationCaptions = {
      {"brew:warp", "We'll install Warp via Homebrew, the fast terminal Quillora recommends."}};
  policy.outcomeOpenableApps = [](const std::optional<SystemProfile>& profile,
                                  const std::optional<SetupVerificationResult>&) {
    return pythonOutcomeOpenableApps(profile);
  };
  policy.specialStages = {
      {Domain::aiClaude,
       cask("Install Claude", "ai-claude",
            {choice("Claude Desktop", std::nullopt, "brew:claude", "install-claude-desktop"),
             choice("Claude Code CLI", std::nullopt, "brew:claude-code@latest", "install-claude-cli")})},
      {Domain::codex, cask("Install ChatGPT", "codex",
                           {choice("ChatGPT Desktop", std::nullopt, "brew:chatgpt", "install-chatgpt-desktop"),
                            choice("Codex CLI", std::nullopt, "brew:codex", "install-codex-cli")})},
      {Domain::notes, cask("Install Markdown editor", "notes",
                           {choice("Zettlr", "free WYSIWYG editor", "brew:zettlr", "install-zettlr"),
                            choice("Obsidian", "PKM free for personal use", "brew:obsidian", "install-obsidian")})},
      {Domain::pythonProject, plain(Special::projectActions)},
      {Domain::project, plain(Special::projectActions)},
      {Domain::skills, plain(Special::skillsMultiselect)},
      {Domain::mcp, plain(Special::mcpMultiselect)},
      {Domain::languages, plain(Special::languagesMultiselect)},
      {Domain::git, plain(Special::gitActions)},
  };
  policy.diagnosisEvidence = pythonDiagnosisEvidence;
  policy.postDiagnosisDecline = pythonPostDiagnosisDecline;
  policy.outcomeLimitation = pythonOutcomeLimitation;
  return policy;
}

}  // namespace

std::optional<DiagnosisEvidence> pythonDiagnosisEvidence(const SetupProbeBundle& probes) {
  if (!probes.pythonInventory || !probes.pythonPathVerdict) return std::nullopt;
  const PythonInventory& inventory = *probes.pythonInventory;
  const PythonPathVerdict& verdict = *probes.pythonPathVerdict;

  DiagnosisEvidence evidence;
  if (inventory.installs.empty()) {
    evidence.sections.push_back({"No Python is installed yet:", {"We did not find any Python on this Mac."}});
  } else {
    DiagnosisEvidence::Section installed{"Python versions already installed:", {}};
    for (const PythonInstall& install : inventory.installs) {
      installed.rows.push_back(installRow(install, inventory.homeDirectory));
    }
    evidence.sections.push_back(std::move(installed));
  }
  evidence.sections.push_back({"What actually runs when you type the commands:",
                               {commandRow(verdict.python, inventory), commandRow(verdict.python3, inventory)}});

  bool uvResolves = false;
  for (const PythonCommandResolution* resolution : {&verdict.python, &verdict.python3}) {
    const std::optional<PythonInstall> owner = PythonOwnership::owner(*resolution, inventory);
    if (owner && owner->origin.kind == OriginKind::uv) uvResolves = true;
  }
  if (!uvResolves) evidence.note = "Continuing will install and properly configure Python using the uv utility.";
  return evidence;
}

std::optional<std::string> pythonPostDiagnosisDecline(const SetupProbeBundle& probes) {
  if (!probes.pythonInventory || !probes.pythonPathVerdict) return std::nullopt;
  const PythonInventory& inventory = *probes.pythonInventory;
  for (const PythonCommandResolution* resolution :
       {&probes.pythonPathVerdict->python, &probes.pythonPathVerdict->python3}) {
    const std::optional<std::string> owner = competingOwnerOf(*resolution, inventory);
    if (owner && isDeclinedOwner(*owner)) return owner;
  }
  // A manager that is merely installed keeps no control of the commands; the
  // evidence lists its Pythons.
  return std::nullopt;
}

std::optional<std::string> pythonOutcomeLimitation(const SetupProbeBundle& probes) {
  if (!probes.pythonInventory || !probes.pythonPathVerdict) return std::nullopt;
  std::optional<std::string> owner = competingOwnerOf(probes.pythonPathVerdict->python, *probes.pythonInventory);
  if (!owner) owner = competingOwnerOf(probes.pythonPathVerdict->python3, *probes.pythonInventory);
  if (!owner) return std::nullopt;
  return *owner +
         " still controls the python command on this Mac. Your projects work with uv run and uv add. To change which "
         "Python runs by default, see " +
         *owner + "'s own instructions.";
}

std::vector<SpineRenderPolicy::OpenableApp> pythonOutcomeOpenableApps(const std::optional<SystemProfile>& profile) {
  std::vector<SpineRenderPolicy::OpenableApp> apps;
  if (!profile) return apps;
  const AITooling& ai = profile->aiTooling;
  if (ai.claudeCodeDesktop) apps.push_back({"Open Claude Desktop", "Claude.app"});
  if (ai.chatgptDesktop) apps.push_back({"Open ChatGPT", "ChatGPT.app"});
  if (ai.zed) apps.push_back({"Open Zed", "Zed.app"});
  if (ai.vsCode) apps.push_back({"Open VS Code", "Visual Studio Code.app"});
  if (ai.warpApp) apps.push_back({"Open Warp", "Warp.app"});
  if (profile->markdownEditors.zettlr) apps.push_back({"Open Zettlr", "Zettlr.app"});
  if (profile->markdownEditors.obsidian) apps.push_back({"Open Obsidian", "Obsidian.app"});
  return apps;
}

std::shared_ptr<const SpineRenderPolicy> makePythonRenderPolicy(std::shared_ptr<UsageEventTracking> tracker) {
  SpineRenderPolicy policy = buildPolicy();
  policy.onOutcomeReported = [tracker](const std::optional<std::string>& engineOutcome, const std::string& selfReport) {
    sendOutcomeReported(tracker.get(), engineOutcome, selfReport);
  };
  return std::make_shared<const SpineRenderPolicy>(std::move(policy));
}

std::shared_ptr<const SpineRenderPolicy> pythonRenderPolicy() {
  static const std::shared_ptr<const SpineRenderPolicy> shared = [] {
    SpineRenderPolicy policy = buildPolicy();
    policy.onOutcomeReported = [](const std::optional<std::string>& engineOutcome, const std::string& selfReport) {
      const std::shared_ptr<UsageEventTracking> tracker = sharedTracker();
      sendOutcomeReported(tracker.get(), engineOutcome, selfReport);
    };
    return std::make_shared<const SpineRenderPolicy>(std::move(policy));
  }();
  return shared;
}

void setPythonPolicyEventTracker(std::shared_ptr<UsageEventTracking> tracker) {
  TrackerSlot& slot = sharedTrackerSlot();
  std::lock_guard lock(slot.mutex);
  slot.tracker = std::move(tracker);
}

}  // namespace bnch
