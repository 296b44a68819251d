#pragma once

#include <QtQml/qqmlregistration.h>
#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QVariantList>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>

#include "engine/platform/app_services.h"
#include "engine/telemetry/usage_event_tracking.h"
#include "engine/workflow/flow_step.h"
#include "engine/workflow/spine_render_policy.h"
#include "ui/feedback_card_model.h"
#include "ui/flow_model.h"
#include "ui/platform_services.h"

namespace bnch::ui {

// What the workflow screen shows for the flow model's step, and the screen's
// own operations (special-stage installs, the failure ramp, the outcome's
// buttons and the satisfaction card). Every text comes from the product's
// spine copy and render policy; QML only lays it out. Lists are arrays of
// plain maps whose keys are named beside each property. GUI thread only.
class WorkflowScreenModel : public QObject {
  Q_OBJECT
  QML_ELEMENT
  QML_UNCREATABLE("Made by the root model for the workflow screen")
  Q_PROPERTY(QString windowTitle READ windowTitle NOTIFY changed)
  // The step's headline, paragraph, footnote and article (empty when none).
  Q_PROPERTY(QString headline READ headline NOTIFY changed)
  Q_PROPERTY(QString body READ body NOTIFY changed)
  Q_PROPERTY(QString footer READ footer NOTIFY changed)
  Q_PROPERTY(QString articleURL READ articleURL NOTIFY changed)
  // Readiness warning: the two choices.
  Q_PROPERTY(QString continueLabel READ continueLabel NOTIFY changed)
  Q_PROPERTY(QString stopLabel READ stopLabel NOTIFY changed)
  // Diagnosis summary: {text, status} per line; evidence {heading, rows}; note.
  Q_PROPERTY(QVariantList summaryLines READ summaryLines NOTIFY changed)
  Q_PROPERTY(QVariantList evidenceSections READ evidenceSections NOTIFY changed)
  Q_PROPERTY(QString evidenceNote READ evidenceNote NOTIFY changed)
  // Competing owner: the owner's paragraphs and the uninstall article.
  Q_PROPERTY(QStringList declineLines READ declineLines NOTIFY changed)
  Q_PROPERTY(QString uninstallURL READ uninstallURL NOTIFY changed)
  // Interstitial.
  Q_PROPERTY(QString interstitialButton READ interstitialButton NOTIFY changed)
  Q_PROPERTY(QString interstitialDisclosure READ interstitialDisclosure NOTIFY changed)
  // Stage: its domain, classification, actions {id, label, caption}, whether it
  // waits for Homebrew, and its special kind ("" for an ordinary stage).
  Q_PROPERTY(QString domain READ domain NOTIFY changed)
  Q_PROPERTY(QString stageStatus READ stageStatus NOTIFY changed)
  Q_PROPERTY(QVariantList stageActions READ stageActions NOTIFY changed)
  Q_PROPERTY(bool needsHomebrewFirst READ needsHomebrewFirst NOTIFY changed)
  Q_PROPERTY(QString specialKind READ specialKind NOTIFY changed)
  Q_PROPERTY(QString specialTitle READ specialTitle NOTIFY changed)
  Q_PROPERTY(QString specialObjectName READ specialObjectName NOTIFY changed)
  // {id, label, subtitle, objectName, installed} per application.
  Q_PROPERTY(QVariantList caskChoices READ caskChoices NOTIFY changed)
  // {key, label, note, installed} per language; the refresh offer ("" when none).
  Q_PROPERTY(QVariantList languages READ languages NOTIFY changed)
  Q_PROPERTY(QString refreshOfferLabel READ refreshOfferLabel NOTIFY changed)
  Q_PROPERTY(QString refreshExplanation READ refreshExplanation CONSTANT)
  // {slug, label, badge, installed, preselected} per skill.
  Q_PROPERTY(QVariantList skills READ skills NOTIFY changed)
  // {slug, label, summary, takesKey, added} per MCP server.
  Q_PROPERTY(QVariantList mcpServers READ mcpServers NOTIFY changed)
  Q_PROPERTY(QString moreListsURL READ moreListsURL CONSTANT)
  Q_PROPERTY(bool gitIdentitySet READ gitIdentitySet NOTIFY changed)
  Q_PROPERTY(QString gitSignUpURL READ gitSignUpURL CONSTANT)
  // The failure ramp: shown when the stage's last install failed.
  Q_PROPERTY(bool failed READ failed NOTIFY changed)
  Q_PROPERTY(QString failureText READ failureText NOTIFY changed)
  Q_PROPERTY(QString manualCommand READ manualCommand NOTIFY changed)
  Q_PROPERTY(QString stageArticleURL READ stageArticleURL NOTIFY changed)
  // Outcome: audit sections {title, items}, the verification's own lines, the
  // extra lines and buttons {label, appName, objectName}.
  Q_PROPERTY(bool verificationPassed READ verificationPassed NOTIFY changed)
  Q_PROPERTY(QVariantList auditSections READ auditSections NOTIFY changed)
  Q_PROPERTY(QStringList verificationLines READ verificationLines NOTIFY changed)
  Q_PROPERTY(QString agentSuggestion READ agentSuggestion NOTIFY changed)
  Q_PROPERTY(QString limitation READ limitation NOTIFY changed)
  Q_PROPERTY(QVariantList openableApps READ openableApps NOTIFY changed)
  Q_PROPERTY(bool hasCreatedProjects READ hasCreatedProjects NOTIFY changed)
  Q_PROPERTY(QString outcomeQuestion READ outcomeQuestion NOTIFY changed)

 public:
  struct Desktop {
    PlatformServices* platform = nullptr;
    std::shared_ptr<UsageEventTracking> tracker;
    // Ends the program ("Cancel and quit").
    std::function<void()> quit;
  };

  WorkflowScreenModel(FlowModel* flow, Desktop desktop, QObject* parent = nullptr);

  QString windowTitle() const;
  QString headline() const;
  QString body() const;
  QString footer() const;
  QString articleURL() const;
  QString continueLabel() const;
  QString stopLabel() const;
  QVariantList summaryLines() const;
  QVariantList evidenceSections() const;
  QString evidenceNote() const;
  QStringList declineLines() const;
  QString uninstallURL() const;
  QString interstitialButton() const;
  QString interstitialDisclosure() const;
  QString domain() const;
  QString stageStatus() const;
  QVariantList stageActions() const;
  bool needsHomebrewFirst() const;
  QString specialKind() const;
  QString specialTitle() const;
  QString specialObjectName() const;
  QVariantList caskChoices() const;
  QVariantList languages() const;
  QString refreshOfferLabel() const;
  QString refreshExplanation() const;
  QVariantList skills() const;
  QVariantList mcpServers() const;
  QString moreListsURL() const;
  bool gitIdentitySet() const;
  QString gitSignUpURL() const;
  bool failed() const;
  QString failureText() const;
  QString manualCommand() const;
  QString stageArticleURL() const;
  bool verificationPassed() const;
  QVariantList auditSections() const;
  QStringList verificationLines() const;
  QString agentSuggestion() const;
  QString limitation() const;
  QVariantList openableApps() const;
  bool hasCreatedProjects() const;
  QString outcomeQuestion() const;

  // ---- Stage actions (each approves an install the progress screen runs) ----
  Q_INVOKABLE bool approveAction(const QString& actionID);
  // The ticked applications of a multi-select stage, by remediation identifier.
  Q_INVOKABLE bool installChoices(const QStringList& remediationIDs);
  // The ticked languages by key; `refreshIndex` is the refresh toggle's state,
  // reported when the toggle was offered.
  Q_INVOKABLE bool installLanguages(const QStringList& keys, bool refreshIndex);
  // Creates the example project of an action in `folder` ("" = Documents).
  Q_INVOKABLE bool createProject(const QString& actionID, const QString& folder);
  // Asks for a folder, then creates the project there; a cancel does nothing.
  Q_INVOKABLE void chooseProjectFolder(const QString& actionID);
  Q_INVOKABLE bool addSkills(const QStringList& slugs);
  // `keys` maps a server's slug to the key typed for it (may be missing or blank).
  Q_INVOKABLE bool addMCPServers(const QStringList& slugs, const QVariantMap& keys);
  // Saves the identity when both fields hold text, then installs the GitHub
  // CLI and signs in when they are missing.
  Q_INVOKABLE bool setUpGit(const QString& name, const QString& email);
  // "Try again": the stage's last approved install once more.
  Q_INVOKABLE bool retry();
  Q_INVOKABLE void skipStage();
  Q_INVOKABLE void installHomebrewFirst();

  // ---- Failure ramp, competing owner ----
  Q_INVOKABLE void copyManualCommand();
  Q_INVOKABLE void cancelAndQuit();

  // ---- Outcome and satisfaction ----
  // Opens the application from /Applications or ~/Applications; reports it the
  // first time this visit. False when it is not there.
  Q_INVOKABLE bool openApp(const QString& appName);
  Q_INVOKABLE void showExampleProjects();
  // True when the run is over (the screen then returns to the welcome screen).
  Q_INVOKABLE bool answerOutcome(bool resolved);
  // The satisfaction card of the satisfaction step, owned by `owner`; its
  // answers resolve the flow model's satisfaction question.
  Q_INVOKABLE bnch::ui::FeedbackCardModel* makeSatisfactionCard(QObject* owner);

 signals:
  void changed();

 private:
  const SetupFlowModel& model() const { return flow_->engineModel(); }
  const Step& step() const { return model().step(); }
  bool onStage() const { return step().kind == Step::Kind::stage; }
  const SetupStage* stage() const;
  const SpineRenderPolicy::InterstitialScreen* interstitial() const;
  bool approve(PendingInstall install);
  std::optional<PendingInstall> installOf(const std::string& title, std::vector<SetupRemediation> remediations) const;
  std::vector<SetupRemediation> stageRemediations() const;
  void rememberFailure();

  QPointer<FlowModel> flow_;
  Desktop desktop_;
  // The install last approved per stage ("Try again"), and the failure text of
  // the stage's last failed install.
  std::map<std::string, PendingInstall> approved_;
  std::map<std::string, std::string> failures_;
  std::set<std::string> openedApps_;
};

}  // namespace bnch::ui
