#include <gtest/gtest.h>

#include "engine/remediation/skill_folder_installer.h"
#include "engine/remediation/template_tree_copier.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::FaultInjectingFileSystem;
using testing::RootedFileSystem;
using testing::TempDir;

class TemplateTreeCopierTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.writeFile("/App/Resources/example-projects/Demo/main.py", "print('hi')\n");
    fs.writeFile("/App/Resources/example-projects/Demo/dot.gitignore", ".venv/\n");
    fs.writeFile("/App/Resources/example-projects/Demo/dot.env.example", "# KEY=...\n");
    fs.writeFile("/App/Resources/example-projects/Demo/notes/dot.keep", "");
    fs.writeFile("/App/Resources/example-projects/Demo/notes/dotty.md", "not a dot file\n");
  }

  TempDir dir;
  RootedFileSystem fs{dir.path()};
  const std::filesystem::path source = "/App/Resources/example-projects/Demo";
  const std::filesystem::path destination = "/Users/alice/Documents/Demo";
};

TEST_F(TemplateTreeCopierTest, CopiesTheTreeAndTurnsDotNamesIntoHiddenFiles) {
  const WriterReport report = TemplateTreeCopier(fs).copy(source, destination);

  EXPECT_EQ(report, (WriterReport{{"Created your project at ~/Documents/Demo."}, true}));
  EXPECT_EQ(fs.contents("/Users/alice/Documents/Demo/main.py"), "print('hi')\n");
  EXPECT_EQ(fs.contents("/Users/alice/Documents/Demo/.gitignore"), ".venv/\n");
  EXPECT_EQ(fs.contents("/Users/alice/Documents/Demo/.env.example"), "# KEY=...\n");
  EXPECT_EQ(fs.contents("/Users/alice/Documents/Demo/notes/.keep"), "");
  EXPECT_EQ(fs.contents("/Users/alice/Documents/Demo/notes/dotty.md"), "not a dot file\n");
  EXPECT_FALSE(fs.fileExists("/Users/alice/Documents/Demo/dot.gitignore"));
}

TEST_F(TemplateTreeCopierTest, AnExistingDestinationIsLeftUntouched) {
  fs.writeFile("/Users/alice/Documents/Demo/main.py", "my own work\n");
  const auto before = fs.snapshot();

  EXPECT_EQ(TemplateTreeCopier(fs).copy(source, destination),
            (WriterReport{{"A project already exists at ~/Documents/Demo \u2014 leaving it as is."}, true}));
  EXPECT_EQ(fs.snapshot(), before);
}

TEST_F(TemplateTreeCopierTest, AMissingTemplateIsReported) {
  EXPECT_EQ(
      TemplateTreeCopier(fs).copy("/App/Resources/example-projects/Gone", destination),
      (WriterReport{{"Couldn't find the bundled project template at /App/Resources/example-projects/Gone."}, false}));
  EXPECT_FALSE(fs.fileExists(destination));
}

TEST_F(TemplateTreeCopierTest, AFailedCopyRemovesTheHalfMadeProjectSoARetryStartsClean) {
  auto rooted = std::make_shared<RootedFileSystem>(dir.path());
  FaultInjectingFileSystem faulty(rooted);
  faulty.failOperation(5, ENOSPC);  // Documents, Demo, .env.example, .gitignore, then main.py

  const WriterReport report = TemplateTreeCopier(faulty).copy(source, destination);

  EXPECT_FALSE(report.succeeded);
  ASSERT_EQ(report.lines.size(), 1u);
  EXPECT_TRUE(report.lines[0].starts_with("Couldn't create the project at ~/Documents/Demo: ")) << report.lines[0];
  EXPECT_FALSE(rooted->fileExists(destination));
  EXPECT_TRUE(rooted->directoryExists("/Users/alice/Documents"));

  faulty.clearFault();
  EXPECT_TRUE(TemplateTreeCopier(faulty).copy(source, destination).succeeded);
  EXPECT_EQ(rooted->contents("/Users/alice/Documents/Demo/main.py"), "print('hi')\n");
}

TEST(TemplateTreeCopierNames, OnlyTheDotPrefixIsReplaced) {
  EXPECT_EQ(TemplateTreeCopier::destinationName("dot.gitignore"), ".gitignore");
  EXPECT_EQ(TemplateTreeCopier::destinationName("dot.env.example"), ".env.example");
  EXPECT_EQ(TemplateTreeCopier::destinationName("dotfiles"), "dotfiles");
  EXPECT_EQ(TemplateTreeCopier::destinationName("dot."), "dot.");
  EXPECT_EQ(TemplateTreeCopier::destinationName("README.md"), "README.md");
}

class SkillFolderInstallerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    fs.writeFile("/App/Resources/skills/downloads-cleanup/SKILL.md", "---\nname: downloads-cleanup\n---\n");
  }

  TempDir dir;
  RootedFileSystem fs{dir.path()};
  const std::filesystem::path source = "/App/Resources/skills/downloads-cleanup";
};

TEST_F(SkillFolderInstallerTest, InstallsOnlyForAgentsThatLackTheSkill) {
  fs.makeDirectory("/Users/alice/.claude");
  fs.makeDirectory("/Users/alice/.codex");
  SkillFolderInstaller installer(fs);

  EXPECT_EQ(installer.install(source, "downloads-cleanup"),
            (WriterReport{{"Installed downloads-cleanup for Claude, Codex."}, true}));
  EXPECT_EQ(fs.contents("/Users/alice/.claude/skills/downloads-cleanup/SKILL.md"),
            "---\nname: downloads-cleanup\n---\n");
  EXPECT_EQ(fs.contents("/Users/alice/.codex/skills/downloads-cleanup/SKILL.md"),
            "---\nname: downloads-cleanup\n---\n");

  fs.writeFile("/Users/alice/.claude/skills/downloads-cleanup/SKILL.md", "edited by Alice\n");
  fs.makeDirectory("/Users/alice/.agents");
  EXPECT_EQ(installer.install(source, "downloads-cleanup"),
            (WriterReport{{"Installed downloads-cleanup for Zed.",
                           "Claude, Codex already had downloads-cleanup \u2014 left as is."},
                          true}));
  EXPECT_EQ(fs.contents("/Users/alice/.agents/skills/downloads-cleanup/SKILL.md"),
            "---\nname: downloads-cleanup\n---\n");
  EXPECT_EQ(fs.contents("/Users/alice/.claude/skills/downloads-cleanup/SKILL.md"), "edited by Alice\n");
}

TEST_F(SkillFolderInstallerTest, ReportsMissingAgentsMissingFilesAndFailures) {
  SkillFolderInstaller installer(fs);
  EXPECT_EQ(installer.install(source, "downloads-cleanup"),
            (WriterReport{{"No AI agent is set up yet \u2014 nothing to install downloads-cleanup into."}, true}));
  EXPECT_EQ(installer.install("/App/Resources/skills/gone", "gone"),
            (WriterReport{{"Couldn't find the skill files for gone."}, false}));

  fs.makeDirectory("/Users/alice/.claude");
  fs.makeDirectory("/Users/alice/.codex");
  fs.writeFile("/Users/alice/.claude/skills", "a file where the folder should be");
  const WriterReport report = installer.install(source, "downloads-cleanup");
  EXPECT_FALSE(report.succeeded);
  ASSERT_EQ(report.lines.size(), 2u);
  EXPECT_TRUE(report.lines[0].starts_with("Couldn't install downloads-cleanup: ")) << report.lines[0];
  EXPECT_EQ(report.lines[1], "Installed downloads-cleanup for Codex.");
}

}  // namespace
}  // namespace bnch
