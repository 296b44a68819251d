#include <gtest/gtest.h>

#include <cstdlib>
#include <regex>

#include "engine/platform/live_file_system.h"
#include "engine/remediation/agent_skill.h"
#include "engine/remediation/resource_locator.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::RootedFileSystem;
using testing::TempDir;

TEST(ResourceLocator, FindsTheResourcesOfAnInstalledApplication) {
  TempDir dir;
  RootedFileSystem fs(dir.path());
  fs.makeDirectory("/Applications/Benchkit.app/Contents/Resources/skills/avoid-ai-writing");
  fs.makeDirectory("/Applications/Benchkit.app/Contents/Resources/example-projects/AI-Simple-Project");
  ResourceLocator locator(fs, {.executablePath = "/Applications/Benchkit.app/Contents/MacOS/Benchkit",
                               .useEnvironment = false,
                               .useSourceTree = false});

  EXPECT_EQ(locator.resourcesDirectory(), std::filesystem::path("/Applications/Benchkit.app/Contents/Resources"));
  EXPECT_EQ(locator.skill("avoid-ai-writing"),
            std::filesystem::path("/Applications/Benchkit.app/Contents/Resources/skills/avoid-ai-writing"));
  EXPECT_EQ(locator.exampleProject(ProjectTemplate::simple),
            std::filesystem::path("/Applications/Benchkit.app/Contents/Resources/example-projects/AI-Simple-Project"));
  EXPECT_EQ(locator.exampleProject(ProjectTemplate::python), std::nullopt);
  EXPECT_EQ(locator.skill("downloads-cleanup"), std::nullopt);
  EXPECT_EQ(locator.skill("../skills/avoid-ai-writing"), std::nullopt);
}

TEST(ResourceLocator, FindsTheSourceResourcesFromABuildTreeAndPrefersAnExplicitFolder) {
  TempDir dir;
  RootedFileSystem fs(dir.path());
  fs.makeDirectory("/src/benchkit/resources/skills");
  fs.makeDirectory("/elsewhere/example-projects");
  fs.makeDirectory("/empty");

  ResourceLocator fromBuild(fs, {.executablePath = "/src/benchkit/build/tools/benchkit-doctor/benchkit-doctor",
                                 .useEnvironment = false,
                                 .useSourceTree = false});
  EXPECT_EQ(fromBuild.resourcesDirectory(), std::filesystem::path("/src/benchkit/resources"));

  ResourceLocator explicitFolder(fs, {.resourcesDirectory = "/elsewhere",
                                      .executablePath = "/src/benchkit/build/benchkit",
                                      .useEnvironment = false,
                                      .useSourceTree = false});
  EXPECT_EQ(explicitFolder.resourcesDirectory(), std::filesystem::path("/elsewhere"));

  ResourceLocator nowhere(fs, {.resourcesDirectory = "/empty",
                               .executablePath = "/usr/bin/benchkit",
                               .useEnvironment = false,
                               .useSourceTree = false});
  EXPECT_EQ(nowhere.resourcesDirectory(), std::nullopt);
}

// The resources this program ships: every offered bundled skill and every project
// template exists and has what a beginner needs.
class BundledResources : public ::testing::Test {
 protected:
  void SetUp() override {
    auto found = ResourceLocator(fs).resourcesDirectory();
    ASSERT_TRUE(found) << "no resources folder found";
    resources = *found;
  }

  LiveFileSystem fs;
  std::filesystem::path resources;
};

TEST_F(BundledResources, EveryBundledSkillHasASkillFileNamedAfterIt) {
  int bundled = 0;
  for (const auto& skill : AgentSkill::offered()) {
    if (skill.source.kind != AgentSkill::Source::Kind::bundle) continue;
    ++bundled;
    const auto folder = ResourceLocator(fs, {.resourcesDirectory = resources}).skill(skill.source.name);
    ASSERT_TRUE(folder) << skill.slug;
    const std::string text = fs.readString(*folder / "SKILL.md");
    EXPECT_TRUE(text.starts_with("---\nname: " + skill.slug + "\ndescription: ")) << skill.slug;
    EXPECT_NE(text.find("\n---\n"), std::string::npos) << skill.slug;
  }
  EXPECT_EQ(bundled, 2);
}

TEST_F(BundledResources, EveryProjectTemplateIsThereWithAgentNotes) {
  ResourceLocator locator(fs, {.resourcesDirectory = resources});
  for (auto projectTemplate : {ProjectTemplate::simple, ProjectTemplate::coding, ProjectTemplate::python}) {
    const auto folder = locator.exampleProject(projectTemplate);
    ASSERT_TRUE(folder) << folderName(projectTemplate);
    for (const char* name : {"README.md", "CLAUDE.md", "AGENTS.md"}) {
      EXPECT_TRUE(fs.fileExists(*folder / name)) << folderName(projectTemplate) << "/" << name;
    }
  }
  const auto python = *locator.exampleProject(ProjectTemplate::python);
  EXPECT_NE(fs.readString(python / "pyproject.toml").find("requires-python = \">=3.12\""), std::string::npos);
  EXPECT_TRUE(fs.fileExists(python / "dot.gitignore"));
  const std::string readme = fs.readString(python / "README.md");
  EXPECT_NE(readme.find("uv run main.py"), std::string::npos);
  EXPECT_NE(readme.find("uv add <package>"), std::string::npos);
}

// The notes of a project send the reader (and the assistant) to other notes by
// name, such as REQUIREMENTS.md; every note named must be in the project.
TEST_F(BundledResources, EveryNoteAProjectNamesIsInTheProject) {
  ResourceLocator locator(fs, {.resourcesDirectory = resources});
  const std::regex noteName("\\b[A-Z][A-Z-]*\\.md\\b");
  int references = 0;
  for (auto projectTemplate : {ProjectTemplate::simple, ProjectTemplate::coding, ProjectTemplate::python}) {
    const auto folder = *locator.exampleProject(projectTemplate);
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder)) {
      if (entry.path().extension() != ".md") continue;
      const std::string text = fs.readString(entry.path());
      for (std::sregex_iterator match(text.begin(), text.end(), noteName), end; match != end; ++match) {
        ++references;
        EXPECT_TRUE(fs.fileExists(folder / match->str()))
            << entry.path().lexically_relative(resources) << " names " << match->str();
      }
    }
  }
  EXPECT_GT(references, 10);

  const auto coding = *locator.exampleProject(ProjectTemplate::coding);
  for (const char* name : {"CLAUDE.md", "AGENTS.md"}) {
    EXPECT_NE(fs.readString(coding / name).find("`uv run python -m unittest`"), std::string::npos) << name;
  }
}

}  // namespace
}  // namespace bnch
