#include "engine/workflow/product_config.h"
#include "engine/product/python_product.h"

#include <gtest/gtest.h>

#include "engine/probes/python_prober.h"
#include "engine/probes/setup_prober.h"
#include "engine/probes/system_profile.h"
#include "engine/product/python_render_policy.h"
#include "engine/product/python_spine_copy.h"
#include "engine/product/python_spine_provider.h"
#include "engine/verification/python_verifier.h"
#include "engine/verification/setup_verifier.h"
#include "engine/workflow/shared_stage_catalog.h"
#include "engine/workflow/spine_copy.h"
#include "engine/workflow/spine_provider.h"
#include "engine/workflow/spine_render_policy.h"

namespace bnch {
namespace {

TEST(ProductConfig, PythonIdentityAndStorageNames) {
  const ProductConfig& python = pythonProduct();
  EXPECT_EQ(python.appID, "bnch-python");
  EXPECT_EQ(python.displayName, "Benchkit for Python");
  EXPECT_EQ(python.appSupportDirName, "Benchkit for Python");
  EXPECT_EQ(python.cacheDirName, "BenchkitPython");
  EXPECT_EQ(python.flow, SetupFlow::setupWorkflow);
  EXPECT_FALSE(python.datedShellMarker);
  EXPECT_FALSE(python.goalPrompt);
  EXPECT_FALSE(python.nextStepPrompt);
  EXPECT_TRUE(python.offerCatalog.empty());

  const std::string consentKey = python.defaultsKey(".consented");
  EXPECT_TRUE(consentKey.ends_with(".bnch.python.consented")) << consentKey;
  EXPECT_EQ(consentKey, python.userDefaultsPrefix + ".consented");
}

TEST(ProductConfig, PythonInstallsItsOwnSpineProberVerifierCopyAndPolicy) {
  const ProductConfig& python = pythonProduct();
  EXPECT_TRUE(std::dynamic_pointer_cast<const PythonSpineProvider>(python.spineProvider));
  EXPECT_TRUE(std::dynamic_pointer_cast<const PythonVerifier>(python.verifier));
  EXPECT_TRUE(std::dynamic_pointer_cast<const PythonProber>(python.prober));
  EXPECT_TRUE(std::dynamic_pointer_cast<const PythonSpineCopy>(python.spineCopy));
  EXPECT_TRUE(std::dynamic_pointer_cast<const SharedStageCatalog>(python.stageCatalog));
  // The Python render policy, built once and shared, not the default one.
  EXPECT_EQ(python.spinePolicy, pythonRenderPolicy());
  EXPECT_NE(python.spinePolicy, ProductConfig::defaultSpineRenderPolicy());
  EXPECT_EQ(python.experienceQuestion, ExperienceQuestionCopy::shared());
  EXPECT_EQ(python.sharedDomainCopy, SharedDomainCopy::standard());
  ASSERT_TRUE(std::dynamic_pointer_cast<const InertDiagnosisProfile>(python.diagnosisProfile));
  EXPECT_TRUE(python.diagnosisProfile->diagnose(SystemProfile{}).errors.empty());
  // Built once: every read is the same value.
  EXPECT_EQ(&pythonProduct(), &python);
}

TEST(ProductConfig, PythonLinksShareTheInstallArticle) {
  const ProductURLs& urls = pythonProduct().urls;
  EXPECT_EQ(urls.installMethods, urls.troubleshooting);
  EXPECT_EQ(urls.privacy, urls.articleBase + "/benchkit/privacy");
  EXPECT_TRUE(urls.warpAffiliate.ends_with(
      "/mac-terminal?utm_source=quillora&utm_medium=app&utm_campaign=quillora_20260516&utm_content=bnch_python"));
}

TEST(ProductConfig, ShellMarkerLineHasNoDateForPython) {
  EXPECT_EQ(pythonProduct().shellMarkerLine("uv PATH"), "# Benchkit \u2014 uv PATH");

  ProductConfig dated = pythonProduct();
  dated.datedShellMarker = true;
  const std::string line = dated.shellMarkerLine("uv PATH");
  ASSERT_EQ(line.size(), std::string("# 2026-01-01 Benchkit \u2014 uv PATH").size()) << line;
  EXPECT_EQ(line.substr(0, 2), "# ");
  EXPECT_EQ(line[6], '-');
  EXPECT_EQ(line[9], '-');
  EXPECT_TRUE(line.ends_with(" Benchkit \u2014 uv PATH"));
}

TEST(ProductConfig, SkippingTheExperienceQuestionCountsAsTheMiddleBucket) {
  const auto& question = pythonProduct().experienceQuestion;
  ASSERT_TRUE(question);
  EXPECT_EQ(question->skipValue, "some-experience");
  ASSERT_EQ(question->buckets.size(), 4u);
  EXPECT_EQ(question->buckets.front().value, "never-coded");
  EXPECT_EQ(question->buckets.back().value, "very-experienced");
}

TEST(ProductConfig, AConfigurationWithOnlyTheRequiredFieldsHasDefaults) {
  ProductConfig bare;
  bare.appID = "bnch-test";
  EXPECT_FALSE(bare.spineProvider);
  EXPECT_FALSE(bare.verifier);
  EXPECT_FALSE(bare.prober);
  EXPECT_FALSE(bare.spineCopy);
  EXPECT_FALSE(bare.stageCatalog);
  EXPECT_FALSE(bare.experienceQuestion);
  ASSERT_TRUE(bare.spinePolicy);
  EXPECT_EQ(bare.spinePolicy, ProductConfig::defaultSpineRenderPolicy());
  EXPECT_EQ(bare.spinePolicy->homebrewIndependentDomains, (std::set<std::string>{"clt", "homebrew"}));
  EXPECT_EQ(bare.sharedDomainCopy, SharedDomainCopy::standard());
  EXPECT_EQ(bare.sharedDomainCopy.warpFixable.headline, "Try Warp \u2014 the AI-assisted terminal");
}

TEST(ProductConfig, CurrentChangesOnlyWhenSet) {
  const ProductConfig before = ProductConfig::current();
  EXPECT_NE(before.appID, "bnch-python");
  ProductConfig::setCurrent(pythonProduct());
  EXPECT_EQ(ProductConfig::current().appID, "bnch-python");
  ProductConfig::setCurrent(before);
}

}  // namespace
}  // namespace bnch
