#pragma once

#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/config/product_names.h"

namespace bnch {

class SpineProvider;
class SpineCopyProviding;
class SetupProber;
class SetupVerifier;
class StageCatalogProviding;
struct SpineRenderPolicy;
struct SystemProfile;

enum class SetupFlow { diagnose, setupWorkflow };
std::string_view toString(SetupFlow flow);

enum class Outcome { ready, stillBlocked, unsure };
std::string_view toString(Outcome outcome);

// Where a next-step option leads.
struct OfferRoute {
  enum class Kind { content, audit, guidedHelpWTP, aiCodingInterest };
  Kind kind = Kind::content;
  std::string offerID;                     // content
  std::shared_ptr<const OfferRoute> then;  // audit (optional)

  bool operator==(const OfferRoute& other) const;
};

struct ProductCopy {
  std::string welcomeExplainer;
  std::string primaryCTA;
  std::optional<std::string> welcomeHeadline;
  bool operator==(const ProductCopy&) const = default;
};

struct ProductURLs {
  std::string articleBase;
  std::string privacy;
  std::string installMethods;
  std::string troubleshooting;
  std::string envConfig;
  std::string commandLineTools;
  std::string macosUpgrade;
  std::string warpAffiliate;
  bool operator==(const ProductURLs&) const = default;
};

struct ConsentCopy {
  std::string whatTitle;
  std::vector<std::string> whatBullets;
  std::string privacyTitle;
  std::vector<std::string> privacyBullets;
  bool operator==(const ConsentCopy&) const = default;
};

struct ExperienceQuestionCopy {
  struct Bucket {
    std::string label;
    std::string value;
    bool operator==(const Bucket&) const = default;
  };
  std::string windowTitle;
  std::string headline;
  std::string body;
  std::vector<Bucket> buckets;
  std::string skipLabel;
  std::string skipValue;
  bool operator==(const ExperienceQuestionCopy&) const = default;

  // The question shared by every product.
  static const ExperienceQuestionCopy& shared();
};

struct GoalOption {
  std::string key;
  std::string label;
  std::optional<std::string> detailPrompt;
  bool operator==(const GoalOption&) const = default;
};

struct GoalPrompt {
  std::string question;
  std::string subcopy;
  std::string surface;
  int detailMaxChars = 0;
  std::vector<GoalOption> options;
  bool operator==(const GoalPrompt&) const = default;
};

struct NextStepOption {
  std::string key;
  std::string label;
  Outcome outcome = Outcome::unsure;
  OfferRoute offer;
  bool operator==(const NextStepOption&) const = default;
};

struct NextStepPrompt {
  std::string question;
  std::string leadIn;
  std::string surface;
  std::vector<NextStepOption> options;
  bool operator==(const NextStepPrompt&) const = default;
};

struct OfferSpec {
  std::string offerID;
  std::string surface;
  std::string title;
  std::string body;
  std::string actionLabel;
  std::optional<std::string> price;
  std::optional<std::string> disclosure;
  std::optional<std::string> destination;
  std::string eligibilityReason;
  bool operator==(const OfferSpec&) const = default;
};

struct SharedDomainCopy {
  struct State {
    std::string headline;
    std::string detail;
    bool operator==(const State&) const = default;
  };
  State cltReady, cltFixable, cltNotAdmin, homebrewReady, homebrewFixable, warpReady, warpFixable, javaReady,
      javaAbsent, javaLegacyOnly, javaHomeUnset;
  bool operator==(const SharedDomainCopy&) const = default;

  // The texts every product uses unless it supplies its own.
  static const SharedDomainCopy& standard();
};

// The result of the Java diagnosis of sibling products.
struct JavaDiagnosis {
  std::vector<std::string> errors;
  bool operator==(const JavaDiagnosis&) const = default;
};

class DiagnosisProfile {
 public:
  virtual ~DiagnosisProfile() = default;
  virtual JavaDiagnosis diagnose(const SystemProfile& profile) const = 0;
};

// Reports no errors; the Python product never starts the diagnose flow.
class InertDiagnosisProfile final : public DiagnosisProfile {
 public:
  JavaDiagnosis diagnose(const SystemProfile&) const override { return {}; }
};

// Everything that differs between the products the engine can be: its names
// (ProductNames), screen texts, links, the flow, and the product's spine, prober,
// verifier, copy and render policy. A value, copied freely; the interfaces it
// holds are immutable and shared.
struct ProductConfig : ProductNames {
  ProductCopy copy;
  ProductURLs urls;
  ConsentCopy consent;
  std::shared_ptr<const DiagnosisProfile> diagnosisProfile = std::make_shared<InertDiagnosisProfile>();
  std::optional<GoalPrompt> goalPrompt;
  std::optional<NextStepPrompt> nextStepPrompt;
  std::map<std::string, OfferSpec> offerCatalog;
  SetupFlow flow = SetupFlow::setupWorkflow;
  std::shared_ptr<const SpineProvider> spineProvider;
  std::shared_ptr<const SetupVerifier> verifier;
  SharedDomainCopy sharedDomainCopy = SharedDomainCopy::standard();
  std::shared_ptr<const SpineRenderPolicy> spinePolicy = defaultSpineRenderPolicy();
  std::shared_ptr<const SetupProber> prober;
  std::shared_ptr<const SpineCopyProviding> spineCopy;
  std::shared_ptr<const StageCatalogProviding> stageCatalog;
  std::optional<ExperienceQuestionCopy> experienceQuestion;

  // The process-wide current configuration. Before launch sets it, it holds a
  // minimal placeholder product; the entry sets it to pythonProduct() once, before any
  // window exists.
  static ProductConfig current();
  static void setCurrent(ProductConfig config);

  static std::shared_ptr<const SpineRenderPolicy> defaultSpineRenderPolicy();
};

}  // namespace bnch
