#include "ui/workflow_screen_model.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QQmlEngine>
#include <QVariantMap>
#include <algorithm>
#include <chrono>

#include "engine/probes/competing_owner_copy.h"
#include "engine/probes/language_detector.h"
#include "engine/remediation/homebrew_index_freshness.h"
#include "engine/remediation/homebrew_installer.h"
#include "engine/remediation/language_remediations.h"
#include "engine/remediation/mcp_config_writer.h"
#include "engine/remediation/skill_folder_installer.h"
#include "engine/telemetry/usage_events.h"
#include "engine/workflow/homebrew_state.h"
#include "engine/workflow/spine_copy.h"
#include "engine/workflow/spine_lookups.h"
#include "engine/workflow/spine_render_policy.h"
#include "ui/qt_text.h"

namespace bnch::ui {

namespace {

using Kind = SpineRenderPolicy::SpecialStageKind::Kind;
using RKind = SetupRemediation::Kind;

constexpr const char* gitHubSignUpURL = "https://github.com/signup";
constexpr const char* moreListsPath = "/benchkit/coming-soon";

std::string kindName(Kind kind) {
  switch (kind) {
    case Kind::groupedInstall:
      return "groupedInstall";
    case Kind::caskMultiselect:
      return "caskMultiselect";
    case Kind::languagesMultiselect:
      return "languagesMultiselect";
    case Kind::projectActions:
      return "projectActions";
    case Kind::skillsMultiselect:
      return "skillsMultiselect";
    case Kind::mcpMultiselect:
      return "mcpMultiselect";
    case Kind::gitActions:
      return "gitActions";
  }
  return {};
}

// Remediations that need `brew` to run.
bool installsWithHomebrew(RKind kind) {
  switch (kind) {
    case RKind::installUv:
    case RKind::installClaudeCLI:
    case RKind::installWarp:
    case RKind::installClaudeDesktop:
    case RKind::installZed:
    case RKind::installVSCode:
    case RKind::installZettlr:
    case RKind::installObsidian:
    case RKind::installCodexCLI:
    case RKind::installChatGPTDesktop:
    case RKind::installMise:
    case RKind::installTemurin:
    case RKind::installGh:
      return true;
    default:
      return false;
  }
}

QVariantMap row(std::initializer_list<std::pair<const char*, QVariant>> fields) {
  QVariantMap map;
  for (const auto& [key, value] : fields) map.insert(QString::fromLatin1(key), value);
  return map;
}

}  // namespace

WorkflowScreenModel::WorkflowScreenModel(FlowModel* flow, Desktop desktop, QObject* parent)
    : QObject(parent), flow_(flow), desktop_(std::move(desktop)) {
  Q_ASSERT(flow_ && desktop_.platform);
  connect(flow_, &FlowModel::changed, this, &WorkflowScreenModel::changed);
  connect(flow_, &FlowModel::installReported, this,
          [this](const QString& domain, const QString& outcome, const QString& errorText) {
            if (outcome == QLatin1String("failure"))
              failures_[toStd(domain)] = toStd(errorText);
            else
              failures_.erase(toStd(domain));
            emit changed();
          });
}

const SetupStage* WorkflowScreenModel::stage() const {
  if (!onStage() || !model().workflow()) return nullptr;
  for (const WorkflowStep& workflowStep : model().workflow()->steps) {
    if (workflowStep.stage && workflowStep.stage->domainID() == step().name) return workflowStep.stage.get();
  }
  return nullptr;
}

// ---- Texts ----

QString WorkflowScreenModel::windowTitle() const { return toQt(spine_lookups::windowTitle(model().config(), step())); }

QString WorkflowScreenModel::headline() const {
  const ProductConfig& config = model().config();
  const SpineCopyProviding* copy = config.spineCopy.get();
  switch (step().kind) {
    case Step::Kind::readinessWarning:
      return toQt(step().warning.screenCopy().headline);
    case Step::Kind::diagnosisSummary:
      return toQt(spine_lookups::summaryHeadline(config, model().workflow()));
    case Step::Kind::postDiagnosisDecline:
      return QStringLiteral("Something else manages Python");
    case Step::Kind::stage:
      return stage() ? toQt(spine_lookups::stageTexts(config, step().name, stage()->diagnosis()).headline) : QString();
    case Step::Kind::interstitial:
      return interstitial() ? toQt(interstitial()->headline) : QString();
    case Step::Kind::verifying:
      return copy ? toQt(copy->verifyingHeadline()) : QString();
    case Step::Kind::keepGoingGate:
      return copy ? toQt(copy->keepGoingHeadline()) : QString();
    case Step::Kind::outcome:
      return toQt(spine_lookups::outcomeTexts(config, verificationPassed()).headline);
    case Step::Kind::satisfaction:
      return QStringLiteral("We need your feedback");
    case Step::Kind::loading:
    case Step::Kind::experienceQuestion:
      break;
  }
  return {};
}

QString WorkflowScreenModel::body() const {
  const ProductConfig& config = model().config();
  switch (step().kind) {
    case Step::Kind::readinessWarning:
      return toQt(step().warning.screenCopy().body);
    case Step::Kind::postDiagnosisDecline: {
      const auto copy = CompetingOwnerCopy::copy(step().name);
      return copy ? toQt(copy->headline) : QString();
    }
    case Step::Kind::stage:
      return stage() ? toQt(spine_lookups::stageTexts(config, step().name, stage()->diagnosis()).body) : QString();
    case Step::Kind::interstitial:
      return interstitial() ? toQt(interstitial()->body) : QString();
    case Step::Kind::keepGoingGate:
      return config.spineCopy ? toQt(config.spineCopy->keepGoingBody()) : QString();
    case Step::Kind::outcome:
      return toQt(spine_lookups::outcomeTexts(config, verificationPassed()).body);
    case Step::Kind::satisfaction:
      return QStringLiteral("One quick question before you go.");
    default:
      return {};
  }
}

QString WorkflowScreenModel::footer() const {
  if (step().kind == Step::Kind::diagnosisSummary && model().config().spineCopy)
    return toQt(model().config().spineCopy->diagnosisFooter());
  if (const SetupStage* shown = stage()) {
    return toQt(spine_lookups::stageTexts(model().config(), step().name, shown->diagnosis()).footer.value_or(""));
  }
  return {};
}

QString WorkflowScreenModel::articleURL() const {
  const ProductConfig& config = model().config();
  switch (step().kind) {
    case Step::Kind::diagnosisSummary:
      return config.spineCopy ? toQt(spine_lookups::articleURL(config, config.spineCopy->diagnosisArticlePath()))
                              : QString();
    case Step::Kind::stage:
      return stageArticleURL();
    case Step::Kind::interstitial:
      return interstitial() ? toQt(spine_lookups::articleURL(config, interstitial()->articlePath)) : QString();
    case Step::Kind::outcome:
      return toQt(spine_lookups::outcomeTexts(config, verificationPassed()).articleURL);
    default:
      return {};
  }
}

QString WorkflowScreenModel::continueLabel() const {
  return step().kind == Step::Kind::readinessWarning ? toQt(step().warning.screenCopy().continueLabel) : QString();
}
QString WorkflowScreenModel::stopLabel() const {
  return step().kind == Step::Kind::readinessWarning ? toQt(step().warning.screenCopy().stopLabel) : QString();
}

QVariantList WorkflowScreenModel::summaryLines() const {
  QVariantList lines;
  const ProductConfig& config = model().config();
  if (!model().workflow() || !config.spineCopy) return lines;
  const auto* policy = config.spinePolicy.get();
  for (const auto& primary : model().workflow()->stages(DomainPlacement::primary)) {
    if (policy && policy->summaryExcludedDomains.count(primary->domainID())) continue;
    lines.append(row({{"domain", toQt(primary->domainID())},
                      {"text", toQt(config.spineCopy->summaryLine(primary->domainID(), primary->diagnosis()))},
                      {"status", toQt(std::string(toString(primary->diagnosis().classification)))}}));
  }
  return lines;
}

QVariantList WorkflowScreenModel::evidenceSections() const {
  QVariantList sections;
  const auto& policy = model().config().spinePolicy;
  if (!policy || !policy->diagnosisEvidence || !model().probes()) return sections;
  if (const auto evidence = policy->diagnosisEvidence(*model().probes())) {
    for (const auto& section : evidence->sections)
      sections.append(row({{"heading", toQt(section.heading)}, {"rows", toQt(section.rows)}}));
  }
  return sections;
}

QString WorkflowScreenModel::evidenceNote() const {
  const auto& policy = model().config().spinePolicy;
  if (!policy || !policy->diagnosisEvidence || !model().probes()) return {};
  const auto evidence = policy->diagnosisEvidence(*model().probes());
  return evidence ? toQt(evidence->note.value_or("")) : QString();
}

QStringList WorkflowScreenModel::declineLines() const {
  if (step().kind != Step::Kind::postDiagnosisDecline) return {};
  const auto copy = CompetingOwnerCopy::copy(step().name);
  if (!copy) return {};
  return {toQt(copy->openingLine), toQt(copy->ownershipLine), toQt(copy->recommendation)};
}

QString WorkflowScreenModel::uninstallURL() const {
  const auto copy = CompetingOwnerCopy::copy(step().name);
  if (copy && copy->uninstallLink) return toQt(*copy->uninstallLink);
  return toQt(spine_lookups::articleURL(model().config(), "python/uninstall"));
}

const SpineRenderPolicy::InterstitialScreen* WorkflowScreenModel::interstitial() const {
  const auto& policy = model().config().spinePolicy;
  return policy && policy->postPrimaryInterstitial ? &*policy->postPrimaryInterstitial : nullptr;
}
QString WorkflowScreenModel::interstitialButton() const {
  return interstitial() ? toQt(interstitial()->buttonLabel) : QString();
}
QString WorkflowScreenModel::interstitialDisclosure() const {
  return interstitial() ? toQt(interstitial()->disclosure.value_or("")) : QString();
}

// ---- Stage ----

QString WorkflowScreenModel::domain() const { return onStage() ? toQt(step().name) : QString(); }

QString WorkflowScreenModel::stageStatus() const {
  return stage() ? toQt(std::string(toString(stage()->diagnosis().classification))) : QString();
}

QVariantList WorkflowScreenModel::stageActions() const {
  QVariantList actions;
  if (const SetupStage* shown = stage()) {
    for (const SetupAction& action : shown->actions()) {
      actions.append(row({{"id", toQt(action.id)},
                          {"label", toQt(action.displayLabel)},
                          {"caption", toQt(spine_lookups::actionCaption(model().config(), action))}}));
    }
  }
  return actions;
}

std::vector<SetupRemediation> WorkflowScreenModel::stageRemediations() const {
  const ProductConfig& config = model().config();
  if (!onStage() || !config.spineProvider || !model().profile() || !model().probes()) return {};
  return config.spineProvider->remediations(step().name, *model().profile(), *model().probes());
}

bool WorkflowScreenModel::needsHomebrewFirst() const {
  const ProductConfig& config = model().config();
  if (!stage() || !model().profile() || !model().probes() || !config.spinePolicy) return false;
  if (config.spinePolicy->homebrewIndependentDomains.count(step().name)) return false;
  if (homebrewState(*model().profile(), *model().probes()) != HomebrewState::absent) return false;
  const auto special = config.spinePolicy->specialStages.find(step().name);
  // Languages and application choices install through Homebrew whatever is ticked.
  if (special != config.spinePolicy->specialStages.end() &&
      (special->second.kind == Kind::languagesMultiselect || special->second.kind == Kind::caskMultiselect))
    return true;
  const auto remediations = stageRemediations();
  return std::any_of(remediations.begin(), remediations.end(),
                     [](const SetupRemediation& r) { return installsWithHomebrew(r.kind); });
}

namespace {
const SpineRenderPolicy::SpecialStageKind* specialOf(const ProductConfig& config, const Step& step) {
  if (step.kind != Step::Kind::stage || !config.spinePolicy) return nullptr;
  const auto found = config.spinePolicy->specialStages.find(step.name);
  return found == config.spinePolicy->specialStages.end() ? nullptr : &found->second;
}
}  // namespace

QString WorkflowScreenModel::specialKind() const {
  const auto* special = specialOf(model().config(), step());
  return special ? toQt(kindName(special->kind)) : QString();
}

QString WorkflowScreenModel::specialTitle() const {
  const auto* special = specialOf(model().config(), step());
  if (!special) return {};
  switch (special->kind) {
    case Kind::groupedInstall:
    case Kind::caskMultiselect:
      return toQt(special->title);
    case Kind::languagesMultiselect:
      return QStringLiteral("Install languages");
    case Kind::projectActions:
      return QStringLiteral("Set up a project");
    case Kind::gitActions:
      return QStringLiteral("Set up Git with GitHub");
    default:
      return {};
  }
}

QString WorkflowScreenModel::specialObjectName() const {
  const auto* special = specialOf(model().config(), step());
  return special ? toQt(special->accessibilityID) : QString();
}

QVariantList WorkflowScreenModel::caskChoices() const {
  QVariantList choices;
  const auto* special = specialOf(model().config(), step());
  if (!special || special->kind != Kind::caskMultiselect || !stage()) return choices;
  const auto& actions = stage()->actions();
  for (const auto& item : special->items) {
    // The stage offers only what is missing; the others are already installed.
    const bool offered = std::any_of(actions.begin(), actions.end(),
                                     [&](const SetupAction& action) { return action.id == item.remediationID; });
    choices.append(row({{"id", toQt(item.remediationID)},
                        {"label", toQt(item.label)},
                        {"subtitle", toQt(item.subtitle.value_or(""))},
                        {"objectName", toQt(item.accessibilityID)},
                        {"installed", !offered}}));
  }
  return choices;
}

QVariantList WorkflowScreenModel::languages() const {
  QVariantList rows;
  const auto* special = specialOf(model().config(), step());
  const auto& fs = flow_->services().fs;
  if (!special || special->kind != Kind::languagesMultiselect || !fs) return rows;
  const LanguageDetector detector(*fs);
  for (BNCHLanguage language : allLanguages) {
    const LanguageStatus status = detector.status(language);
    rows.append(row({{"key", toQt(std::string(toString(language)))},
                     {"label", toQt(std::string(displayName(language)))},
                     {"note", toQt(status.statusLine().value_or(""))},
                     {"installed", status.kind == LanguageStatus::Kind::setUp}}));
  }
  return rows;
}

namespace {
std::optional<double> indexAge(const AppServices& services) {
  if (!services.fs) return std::nullopt;
  return HomebrewIndexFreshness(services.fs).age(std::chrono::system_clock::now());
}
}  // namespace

QString WorkflowScreenModel::refreshOfferLabel() const {
  const auto* special = specialOf(model().config(), step());
  if (!special || special->kind != Kind::languagesMultiselect) return {};
  return toQt(HomebrewIndexFreshness::refreshOfferLabel(indexAge(flow_->services())).value_or(""));
}

QString WorkflowScreenModel::refreshExplanation() const {
  return toQt(std::string(HomebrewIndexFreshness::refreshExplanation));
}

QVariantList WorkflowScreenModel::skills() const {
  QVariantList rows;
  const auto* special = specialOf(model().config(), step());
  const auto& fs = flow_->services().fs;
  if (!special || special->kind != Kind::skillsMultiselect || !fs) return rows;
  for (const AgentSkill& skill : AgentSkill::offered()) {
    const auto& agents = SkillFolderInstaller::agents();
    const bool installed = std::any_of(agents.begin(), agents.end(), [&](const SkillFolderInstaller::Agent& agent) {
      return fs->directoryExists(fs->homeDirectory() / agent.configDir / "skills" / skill.slug);
    });
    rows.append(row({{"slug", toQt(skill.slug)},
                     {"label", toQt(skill.displayName)},
                     {"badge", toQt(skill.badge)},
                     {"installed", installed},
                     {"preselected", skill.preselected}}));
  }
  return rows;
}

QVariantList WorkflowScreenModel::mcpServers() const {
  QVariantList rows;
  const auto* special = specialOf(model().config(), step());
  const auto& fs = flow_->services().fs;
  if (!special || special->kind != Kind::mcpMultiselect || !fs) return rows;
  // Added before: the server's entry in Claude Code's or Codex's configuration.
  auto read = [&](const std::filesystem::path& relative) {
    try {
      const auto path = fs->homeDirectory() / relative;
      return fs->fileExists(path) ? fs->readString(path) : std::string();
    } catch (const std::exception&) {
      return std::string();  // unreadable: nothing counts as added, and adding again keeps what is there
    }
  };
  const std::string codexConfig = read(".codex/config.toml");
  const QJsonObject claudeServers = QJsonDocument::fromJson(QByteArray::fromStdString(read(".claude.json")))
                                        .object()
                                        .value(QLatin1String("mcpServers"))
                                        .toObject();
  for (const MCPServer& server : MCPServer::offered()) {
    rows.append(row({{"slug", toQt(server.slug)},
                     {"label", toQt(server.displayName)},
                     {"summary", toQt(server.summary)},
                     {"takesKey", server.connection.kind == MCPServer::Connection::Kind::keylessOptionalKey},
                     {"added", claudeServers.contains(toQt(server.slug)) ||
                                   MCPConfigWriter::declaresCodexServer(codexConfig, server.slug)}}));
  }
  return rows;
}

QString WorkflowScreenModel::moreListsURL() const {
  return toQt(spine_lookups::articleURL(model().config(), moreListsPath));
}

bool WorkflowScreenModel::gitIdentitySet() const { return model().probes() && model().probes()->gitIdentitySet; }
QString WorkflowScreenModel::gitSignUpURL() const { return QString::fromLatin1(gitHubSignUpURL); }

// ---- Failure ramp ----

bool WorkflowScreenModel::failed() const {
  if (!onStage()) return false;
  // A new attempt is under way.
  if (model().pendingInstall() && model().pendingInstall()->id == step().name) return false;
  return failures_.count(step().name) || model().failedStageErrors().count(step().name);
}

QString WorkflowScreenModel::failureText() const {
  if (!onStage()) return {};
  const auto& kept = model().failedStageErrors();
  if (const auto entry = kept.find(step().name); entry != kept.end() && !entry->second.empty())
    return toQt(entry->second);
  const auto local = failures_.find(step().name);
  return local != failures_.end() ? toQt(local->second) : QString();
}

QString WorkflowScreenModel::manualCommand() const {
  if (!onStage()) return {};
  if (step().name == "clt") return QStringLiteral("xcode-select --install");
  if (step().name == "homebrew") return toQt(HomebrewInstaller::installCommand());
  return {};
}

QString WorkflowScreenModel::stageArticleURL() const {
  return onStage() ? toQt(spine_lookups::stageArticleURL(model().config(), step().name)) : QString();
}

// ---- Outcome ----

bool WorkflowScreenModel::verificationPassed() const {
  return model().verifyResult() && model().verifyResult()->passed;
}

QVariantList WorkflowScreenModel::auditSections() const {
  QVariantList sections;
  for (const OutcomeAuditSection& section : model().outcomeAudit())
    sections.append(row({{"title", toQt(section.title)}, {"items", toQt(section.items)}}));
  return sections;
}

QStringList WorkflowScreenModel::verificationLines() const {
  const auto& result = model().verifyResult();
  return result ? toQt(result->verifiedItems) : QStringList();
}

QString WorkflowScreenModel::agentSuggestion() const {
  return model().config().spineCopy ? toQt(model().config().spineCopy->outcomeAgentSuggestion()) : QString();
}

QString WorkflowScreenModel::limitation() const {
  const auto& policy = model().config().spinePolicy;
  if (!policy || !policy->outcomeLimitation || !model().probes()) return {};
  return toQt(policy->outcomeLimitation(*model().probes()).value_or(""));
}

QVariantList WorkflowScreenModel::openableApps() const {
  QVariantList apps;
  const auto& policy = model().config().spinePolicy;
  if (!policy || !policy->outcomeOpenableApps) return apps;
  for (const auto& app : policy->outcomeOpenableApps(model().profile(), model().verifyResult())) {
    QString bare = toQt(app.appName);
    if (bare.endsWith(QLatin1String(".app"))) bare.chop(4);
    apps.append(row({{"label", toQt(app.label)}, {"appName", toQt(app.appName)}, {"objectName", "open-" + bare}}));
  }
  return apps;
}

bool WorkflowScreenModel::hasCreatedProjects() const { return !model().createdProjectPaths().empty(); }

QString WorkflowScreenModel::outcomeQuestion() const {
  return model().config().spineCopy ? toQt(model().config().spineCopy->outcomeQuestion()) : QString();
}

// ---- Stage actions ----

bool WorkflowScreenModel::approve(PendingInstall install) {
  if (!flow_) return false;
  // An offer stage's install is the offer taken (reported once; others ignore it).
  flow_->offerAction(toQt(install.id), true);
  failures_.erase(install.id);
  approved_[install.id] = install;
  flow_->engineModel().approveInstall(std::move(install));
  return true;
}

std::optional<PendingInstall> WorkflowScreenModel::installOf(const std::string& title,
                                                             std::vector<SetupRemediation> remediations) const {
  if (!onStage() || remediations.empty()) return std::nullopt;
  const auto& policy = model().config().spinePolicy;
  const bool continues = policy && policy->advanceOnPartialFailureDomains.count(step().name);
  return PendingInstall{step().name, title, std::move(remediations), continues};
}

bool WorkflowScreenModel::approveAction(const QString& actionID) {
  if (!onStage()) return false;
  auto install = model().pendingInstallFor(step().name, toStd(actionID));
  return install && approve(std::move(*install));
}

bool WorkflowScreenModel::installChoices(const QStringList& remediationIDs) {
  std::vector<SetupRemediation> chosen;
  for (const SetupRemediation& remediation : stageRemediations()) {
    if (remediationIDs.contains(toQt(remediation.id()))) chosen.push_back(remediation);
  }
  const auto* special = specialOf(model().config(), step());
  auto install = installOf(special ? special->title : step().name, std::move(chosen));
  return install && approve(std::move(*install));
}

bool WorkflowScreenModel::installLanguages(const QStringList& keys, bool refreshIndex) {
  std::set<BNCHLanguage> selection;
  for (const QString& key : keys) {
    if (const auto language = languageFromString(toStd(key))) selection.insert(*language);
  }
  if (selection.empty()) return false;
  const auto age = indexAge(flow_->services());
  const bool offered = HomebrewIndexFreshness::refreshOfferLabel(age).has_value();
  if (offered && desktop_.tracker)
    track(*desktop_.tracker,
          usage_events::brewIndexRefreshChoice(refreshIndex, static_cast<std::int64_t>(*age / 3600)));
  auto install = installOf("Install languages", languageRemediations(selection, offered && refreshIndex));
  return install && approve(std::move(*install));
}

bool WorkflowScreenModel::createProject(const QString& actionID, const QString& folder) {
  for (SetupRemediation remediation : stageRemediations()) {
    if (remediation.id() != toStd(actionID) || remediation.kind != RKind::createProject) continue;
    if (!folder.isEmpty()) remediation.destinationPath = toStd(folder);
    auto install = installOf(remediation.title(), {remediation});
    return install && approve(std::move(*install));
  }
  return false;
}

void WorkflowScreenModel::chooseProjectFolder(const QString& actionID) {
  const std::string prompt =
      model().config().spineCopy ? model().config().spineCopy->projectFolderPrompt() : "Choose a folder to work in";
  QPointer<WorkflowScreenModel> self(this);
  const std::string domain = step().name;
  desktop_.platform->chooseFolder(toQt(prompt), [self, actionID, domain](std::optional<QString> folder) {
    // A cancel, a screen already gone, or a step that moved on: nothing to do.
    if (!self || !folder || folder->isEmpty() || !self->onStage() || self->step().name != domain) return;
    self->createProject(actionID, *folder);
  });
}

bool WorkflowScreenModel::addSkills(const QStringList& slugs) {
  std::vector<SetupRemediation> chosen;
  for (const AgentSkill& skill : AgentSkill::offered()) {
    if (slugs.contains(toQt(skill.slug))) chosen.push_back(SetupRemediation::installSkill(skill));
  }
  auto install = installOf("Add skills", std::move(chosen));
  return install && approve(std::move(*install));
}

bool WorkflowScreenModel::addMCPServers(const QStringList& slugs, const QVariantMap& keys) {
  std::vector<SetupRemediation> chosen;
  for (const MCPServer& server : MCPServer::offered()) {
    if (!slugs.contains(toQt(server.slug))) continue;
    std::optional<std::string> key;
    const QString typed = keys.value(toQt(server.slug)).toString().trimmed();
    if (!typed.isEmpty() && server.connection.kind == MCPServer::Connection::Kind::keylessOptionalKey) {
      key = toStd(typed);
      // Redacted wherever it could reach a usage event.
      if (desktop_.tracker) desktop_.tracker->rememberTypedValue(*key);
    }
    chosen.push_back(SetupRemediation::addMCPServer(server, key));
  }
  auto install = installOf("Add MCP servers", std::move(chosen));
  return install && approve(std::move(*install));
}

bool WorkflowScreenModel::setUpGit(const QString& name, const QString& email) {
  const auto& probes = model().probes();
  std::vector<SetupRemediation> chosen;
  const QString trimmedName = name.simplified();
  const QString trimmedEmail = email.trimmed();
  if (!trimmedName.isEmpty() && !trimmedEmail.isEmpty()) {
    if (desktop_.tracker) desktop_.tracker->rememberTypedValue(toStd(trimmedEmail));
    chosen.push_back(SetupRemediation::configureGit(toStd(trimmedName), toStd(trimmedEmail)));
  } else if (!probes || !probes->gitIdentitySet) {
    return false;  // the identity is needed first
  }
  if (!probes || !probes->ghPresent) chosen.push_back(SetupRemediation::of(RKind::installGh));
  if (!probes || !probes->ghAuthed) chosen.push_back(SetupRemediation::of(RKind::githubAuth));
  auto install = installOf("Set up Git with GitHub", std::move(chosen));
  return install && approve(std::move(*install));
}

bool WorkflowScreenModel::retry() {
  if (!onStage()) return false;
  const auto last = approved_.find(step().name);
  if (last == approved_.end()) return false;
  return approve(last->second);
}

void WorkflowScreenModel::skipStage() {
  if (!onStage() || !flow_) return;
  const QString domain = toQt(step().name);
  flow_->offerAction(domain, false);
  flow_->advance(domain);
}

void WorkflowScreenModel::installHomebrewFirst() {
  if (flow_) flow_->showStage(QStringLiteral("homebrew"));
}

void WorkflowScreenModel::copyManualCommand() {
  const QString command = manualCommand();
  if (!command.isEmpty()) desktop_.platform->copyToClipboard(command);
}

void WorkflowScreenModel::cancelAndQuit() {
  if (step().kind != Step::Kind::postDiagnosisDecline) return;
  if (desktop_.tracker) track(*desktop_.tracker, usage_events::competingOwnerAction(step().name, "cancel"));
  if (desktop_.quit) desktop_.quit();
}

// ---- Outcome ----

bool WorkflowScreenModel::openApp(const QString& appName) {
  const auto& fs = flow_->services().fs;
  if (!fs || appName.isEmpty() || appName.contains('/')) return false;
  const std::string name = toStd(appName);
  std::optional<std::filesystem::path> found;
  for (const std::filesystem::path& folder :
       {std::filesystem::path("/Applications"), fs->homeDirectory() / "Applications"}) {
    if (fs->fileExists(folder / name)) {
      found = folder / name;
      break;
    }
  }
  if (!found) return false;
  desktop_.platform->openApplication(toQt(found->string()));
  if (openedApps_.insert(name).second && desktop_.tracker) track(*desktop_.tracker, usage_events::appOpened(name));
  return true;
}

void WorkflowScreenModel::showExampleProjects() {
  for (const std::string& path : model().createdProjectPaths()) desktop_.platform->revealFolder(toQt(path));
}

bool WorkflowScreenModel::answerOutcome(bool resolved) {
  return flow_ && flow_->reportOutcome(resolved ? QStringLiteral("resolved") : QStringLiteral("not_resolved"));
}

FeedbackCardModel* WorkflowScreenModel::makeSatisfactionCard(QObject* owner) {
  QPointer<FlowModel> flow = flow_;
  FeedbackCardModel::Answers answers{
      .submit =
          [flow](int score, const std::string& reason) {
            return flow && flow->engineModel().submitSatisfaction(score, reason);
          },
      .dismiss =
          [flow] {
            if (flow) flow->satisfactionDismissed();
          },
  };
  auto* card = new FeedbackCardModel(FeedbackCardModel::Wording::satisfaction, toQt(model().config().displayName),
                                     std::move(answers), owner ? owner : this);
  QQmlEngine::setObjectOwnership(card, QQmlEngine::CppOwnership);
  return card;
}

}  // namespace bnch::ui
