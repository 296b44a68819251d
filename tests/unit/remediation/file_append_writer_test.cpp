#include "engine/remediation/file_append_writer.h"
#include "engine/product/python_product.h"

#include <gtest/gtest.h>

#include <regex>

#include "engine/remediation/zprofile_writer.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::FaultInjectingFileSystem;
using testing::RootedFileSystem;
using testing::TempDir;
using KeyDetection = FileAppendWriter::KeyDetection;

const std::string kUvLine = "export PATH=\"$HOME/.local/bin:$PATH\"";
const std::string kUvBlock = "# Benchkit \u2014 uv PATH\n" + kUvLine + "\n";

class FileAppendWriterTest : public ::testing::Test {
 protected:
  FileAppendWriter writer(const std::string& name = ".zprofile") {
    return FileAppendWriter(fs.homeDirectory() / name, fs, pythonProduct());
  }
  FileAppendWriter::DiffPreview appendUv() {
    return writer().append(kUvLine, "uv PATH", "HOME/.local/bin", KeyDetection::anywhere);
  }

  TempDir dir;
  RootedFileSystem fs{dir.path()};
};

TEST_F(FileAppendWriterTest, SeparatesTheBlockFromEarlierTextByExactlyOneBlankLine) {
  const std::vector<std::pair<std::string, std::string>> cases{
      {"", ""},
      {"export A=1", "\n\n"},
      {"export A=1\n", "\n"},
      {"export A=1\n\n", ""},
      {"export A=1\r\n", "\n"},    // a CR LF pair is one line end
      {"export A=1\r\n\r\n", ""},  // ...and a blank line after it needs nothing more
      {"export A=1\n\n\n", ""},
  };
  for (const auto& [before, separator] : cases) {
    fs.writeFile("/Users/alice/.zprofile", before);
    if (fs.fileExists("/Users/alice/.zprofile.bak")) fs.removeItem("/Users/alice/.zprofile.bak");
    const auto preview = appendUv();
    EXPECT_EQ(fs.contents("/Users/alice/.zprofile"), before + separator + kUvBlock) << '"' << before << '"';
    EXPECT_EQ(fs.contents("/Users/alice/.zprofile.bak"), before);
    EXPECT_FALSE(preview.wasCreated);
  }
}

TEST_F(FileAppendWriterTest, AMissingFileIsCreatedWithTheBlockAndAnEmptyBackup) {
  const auto preview = appendUv();

  EXPECT_EQ(preview, (FileAppendWriter::DiffPreview{
                         .path = "/Users/alice/.zprofile",
                         .backupPath = "/Users/alice/.zprofile.bak",
                         .originalContents = "",
                         .proposedContents = kUvBlock,
                         .linesAdded = {"# Benchkit \u2014 uv PATH", kUvLine},
                         .alreadySet = false,
                         .wasCreated = true,
                     }));
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile"), kUvBlock);
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile.bak"), "");
}

TEST_F(FileAppendWriterTest, KeepsTheFirstBackupAndNeverAppendsABlockTwice) {
  fs.writeFile("/Users/alice/.zprofile", "# mine\n");
  appendUv();
  const auto second = writer().append("export PATH=\"$HOME/.cargo/bin:$PATH\"", "rustup PATH", "HOME/.cargo/bin",
                                      KeyDetection::anywhere);
  const auto again = appendUv();

  EXPECT_FALSE(second.alreadySet);
  EXPECT_EQ(second.originalContents, "# mine\n\n" + kUvBlock);
  EXPECT_TRUE(again.alreadySet);
  EXPECT_TRUE(again.linesAdded.empty());
  EXPECT_EQ(again.proposedContents, again.originalContents);
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile.bak"), "# mine\n");
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile"),
            "# mine\n\n" + kUvBlock + "\n# Benchkit \u2014 rustup PATH\nexport PATH=\"$HOME/.cargo/bin:$PATH\"\n");
}

TEST_F(FileAppendWriterTest, AKeyInsideACommentCountsOnlyForPlainDetection) {
  const std::string text = "# eval \"$(/opt/homebrew/bin/brew shellenv)\" disabled for now\nexport A=1\n";
  EXPECT_TRUE(FileAppendWriter::containsKey(text, "brew shellenv", KeyDetection::anywhere));
  EXPECT_FALSE(FileAppendWriter::containsKey(text, "brew shellenv", KeyDetection::ignoringCommentLines));
  EXPECT_TRUE(FileAppendWriter::containsKey("\t  eval \"$(/opt/homebrew/bin/brew shellenv)\"\r\n", "brew shellenv",
                                            KeyDetection::ignoringCommentLines));

  // The Homebrew block's own marker line contains its key; only the real line counts.
  fs.writeFile("/Users/alice/.zprofile", text);
  const std::string line = "eval \"$(/opt/homebrew/bin/brew shellenv)\"";
  const auto first = writer().append(line, "Homebrew shellenv", "brew shellenv", KeyDetection::ignoringCommentLines);
  const auto second = writer().append(line, "Homebrew shellenv", "brew shellenv", KeyDetection::ignoringCommentLines);
  EXPECT_FALSE(first.alreadySet);
  EXPECT_TRUE(second.alreadySet);
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile"), text + "\n# Benchkit \u2014 Homebrew shellenv\n" + line + "\n");
}

TEST_F(FileAppendWriterTest, TheDatedMarkerCarriesTodaysDate) {
  ProductConfig dated = pythonProduct();
  dated.datedShellMarker = true;
  FileAppendWriter datedWriter(fs.homeDirectory() / ".zprofile", fs, dated);
  const auto preview = datedWriter.append(kUvLine, "uv PATH", "HOME/.local/bin", KeyDetection::anywhere);
  EXPECT_TRUE(
      std::regex_match(preview.linesAdded.front(), std::regex("# [0-9]{4}-[0-9]{2}-[0-9]{2} Benchkit \u2014 uv PATH")))
      << preview.linesAdded.front();
}

TEST_F(FileAppendWriterTest, BytesThatAreNotUtf8AreKeptExactly) {
  const std::string latin1 = "# caf\xE9 settings\nexport LANG=fr_FR.ISO8859-1\n\xFF\xFE";
  fs.writeFile("/Users/alice/.zprofile", latin1);

  const auto preview = appendUv();
  EXPECT_EQ(preview.originalContents, latin1);
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile.bak"), latin1);
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile"), latin1 + "\n\n" + kUvBlock);

  // The key is found in such a file too, so a second run changes nothing.
  EXPECT_TRUE(appendUv().alreadySet);
}

TEST_F(FileAppendWriterTest, AFileThatCannotBeReadIsNeverWritten) {
  fs.makeDirectory("/Users/alice/.zprofile");
  try {
    appendUv();
    FAIL() << "expected a WriteError";
  } catch (const FileAppendWriter::WriteError& error) {
    EXPECT_EQ(error.kind(), FileAppendWriter::WriteError::Kind::readFailed);
    EXPECT_EQ(error.description(),
              "Couldn't read file: The file \u201C.zprofile\u201D couldn\u2019t be opened because it is a folder.");
  }
  EXPECT_TRUE(fs.directoryExists("/Users/alice/.zprofile"));
  EXPECT_FALSE(fs.fileExists("/Users/alice/.zprofile.bak"));
}

TEST_F(FileAppendWriterTest, WritesThroughASymbolicLinkAndKeepsTheLink) {
  fs.writeFile("/Users/alice/dotfiles/zshrc", "alias ll='ls -l'\n");
  fs.makeSymlink("/Users/alice/.zshrc", "/Users/alice/dotfiles/zshrc");

  writer(".zshrc").append(kUvLine, "uv PATH", "HOME/.local/bin", KeyDetection::anywhere);

  const auto items = fs.snapshot();
  EXPECT_EQ(items.at("/Users/alice/.zshrc").type, FileType::symlink);
  EXPECT_EQ(items.at("/Users/alice/.zshrc").contents, "/Users/alice/dotfiles/zshrc");
  EXPECT_EQ(fs.contents("/Users/alice/dotfiles/zshrc"), "alias ll='ls -l'\n\n" + kUvBlock);
  EXPECT_EQ(items.at("/Users/alice/.zshrc.bak").type, FileType::regular);
  EXPECT_EQ(items.at("/Users/alice/.zshrc.bak").contents, "alias ll='ls -l'\n");
}

TEST_F(FileAppendWriterTest, AppendsToAVeryLargeFile) {
  std::string big;
  big.reserve(50u << 20);
  const std::string line = "alias g='git status'  # a line a long-lived .zshrc might hold\n";
  while (big.size() + line.size() <= (50u << 20)) big += line;
  fs.writeFile("/Users/alice/.zshrc", big);

  const auto preview =
      writer(".zshrc").append(kUvLine, "uv PATH", "HOME/.local/bin", KeyDetection::ignoringCommentLines);

  EXPECT_FALSE(preview.alreadySet);
  EXPECT_TRUE(fs.contents("/Users/alice/.zshrc.bak") == big);
  EXPECT_TRUE(fs.contents("/Users/alice/.zshrc") == big + "\n" + kUvBlock);
}

TEST_F(FileAppendWriterTest, AFailedBackupLeavesTheTargetUntouchedAndAFailedWriteKeepsACompleteBackup) {
  auto rooted = std::make_shared<RootedFileSystem>(dir.path());
  rooted->writeFile("/Users/alice/.zprofile", "export A=1\n");
  FaultInjectingFileSystem faulty(rooted);
  FileAppendWriter faultyWriter("/Users/alice/.zprofile", faulty, pythonProduct());

  faulty.failOperation(1, ENOSPC);  // the backup
  try {
    faultyWriter.append(kUvLine, "uv PATH", "HOME/.local/bin", KeyDetection::anywhere);
    FAIL() << "expected a WriteError";
  } catch (const FileAppendWriter::WriteError& error) {
    EXPECT_EQ(error.kind(), FileAppendWriter::WriteError::Kind::backupFailed);
    EXPECT_EQ(
        error.description(),
        "Couldn't write backup file: There isn\u2019t enough space on the disk to save \u201C.zprofile.bak\u201D.");
  }
  EXPECT_EQ(rooted->contents("/Users/alice/.zprofile"), "export A=1\n");
  EXPECT_FALSE(rooted->fileExists("/Users/alice/.zprofile.bak"));

  faulty.failOperation(2, ENOSPC);  // the file itself
  try {
    faultyWriter.append(kUvLine, "uv PATH", "HOME/.local/bin", KeyDetection::anywhere);
    FAIL() << "expected a WriteError";
  } catch (const FileAppendWriter::WriteError& error) {
    EXPECT_EQ(error.kind(), FileAppendWriter::WriteError::Kind::writeFailed);
    EXPECT_EQ(error.description(),
              "Couldn't write file: There isn\u2019t enough space on the disk to save \u201C.zprofile\u201D.");
  }
  EXPECT_EQ(rooted->contents("/Users/alice/.zprofile"), "export A=1\n");
  EXPECT_EQ(rooted->contents("/Users/alice/.zprofile.bak"), "export A=1\n");
}

TEST(ZprofileWriter, AnActiveJavaHomeLineIsRespectedAndACommentedOneIsNot) {
  TempDir dir;
  RootedFileSystem fs(dir.path());
  ZprofileWriter writer(fs, pythonProduct());

  fs.writeFile("/Users/alice/.zprofile", "  export JAVA_HOME=/Library/Java/JavaVirtualMachines/jdk-21/Contents/Home\n");
  EXPECT_TRUE(writer.preview({.includePathLine = true}).alreadySet);

  const std::string commented = "# export JAVA_HOME=/old/jdk\n# JAVA_HOME is set below\n";
  fs.writeFile("/Users/alice/.zprofile", commented);
  const auto preview = writer.preview({.includePathLine = true});
  EXPECT_FALSE(preview.alreadySet);
  EXPECT_FALSE(fs.fileExists("/Users/alice/.zprofile.bak"));  // a preview writes nothing
  writer.apply(preview);
  EXPECT_EQ(fs.contents("/Users/alice/.zprofile"),
            commented +
                "\n# Benchkit \u2014 Java configuration\nexport JAVA_HOME=$(/usr/libexec/java_home)\n"
                "export PATH=\"$JAVA_HOME/bin:$PATH\"\n");
  EXPECT_EQ(writer.preview({}).linesAdded.size(), 0u);  // now present

  fs.removeItem("/Users/alice/.zprofile");
  EXPECT_EQ(writer.preview({}).linesAdded, (std::vector<std::string>{"# Benchkit \u2014 Java configuration",
                                                                     "export JAVA_HOME=$(/usr/libexec/java_home)"}));
}

}  // namespace
}  // namespace bnch
