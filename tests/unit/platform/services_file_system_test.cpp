#include <fcntl.h>
#include <sys/resource.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <fstream>

#include <gtest/gtest.h>

#include "engine/platform/live_file_system.h"
#include "tests/support/byte_writer_file_system.h"
#include "tests/support/fault_injecting_file_system.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

namespace fs = std::filesystem;
using testing::ByteWriter;
using testing::ByteWriterFileSystem;
using testing::FaultInjectingFileSystem;
using testing::RootedFileSystem;
using testing::TempDir;

FileAttributes permissions(std::uint32_t mode) {
  FileAttributes attributes;
  attributes.posixPermissions = mode;
  return attributes;
}

FileAttributes modified(std::chrono::system_clock::time_point when) {
  FileAttributes attributes;
  attributes.modificationDate = when;
  return attributes;
}

LiveFileSystemOptions withHome(const fs::path& home) {
  LiveFileSystemOptions options;
  options.homeDirectory = home;
  return options;
}

std::uint32_t modeOf(const fs::path& path) {
  struct stat info {};
  EXPECT_EQ(::lstat(path.c_str(), &info), 0) << path;
  return info.st_mode & 07777;
}

// The names of the leftover temporary files next to `file`.
std::vector<std::string> strays(const fs::path& folder) {
  std::vector<std::string> names;
  for (const auto& entry : fs::directory_iterator(folder)) {
    if (entry.path().filename().string().find(".tmp-") != std::string::npos) {
      names.push_back(entry.path().filename());
    }
  }
  return names;
}

class LiveFileSystemTest : public ::testing::Test {
 protected:
  TempDir dir;
  LiveFileSystem fs{withHome(dir.path() / "home")};
};

TEST_F(LiveFileSystemTest, TellsFilesFromFoldersAndExecutables) {
  fs.writeData("x", dir / "plain");
  fs.createDirectory(dir / "folder", false);
  fs.writeData("#!/bin/sh\n", dir / "tool");
  fs.setAttributes(permissions(0755), dir / "tool");
  fs::create_directory_symlink(dir / "folder", dir / "link-to-folder");

  EXPECT_TRUE(fs.fileExists(dir / "plain"));
  EXPECT_FALSE(fs.directoryExists(dir / "plain"));
  EXPECT_TRUE(fs.directoryExists(dir / "folder"));
  EXPECT_TRUE(fs.directoryExists(dir / "link-to-folder"));
  EXPECT_FALSE(fs.fileExists(dir / "missing"));
  EXPECT_TRUE(fs.isExecutableFile(dir / "tool"));
  EXPECT_FALSE(fs.isExecutableFile(dir / "folder"));  // folders are searchable, not executable
  EXPECT_FALSE(fs.isExecutableFile(dir / "missing"));
  EXPECT_EQ(fs.attributesOfItem(dir / "link-to-folder").type, FileType::symlink);
  EXPECT_EQ(fs.attributesOfItem(dir / "plain").size, 1u);
}

TEST_F(LiveFileSystemTest, AtomicWriteKeepsPermissionsAndLinks) {
  fs.writeData("old", dir / "secret");
  fs.setAttributes(permissions(0600), dir / "secret");
  fs::create_symlink("secret", dir / "link");

  fs.writeData("new", dir / "link");

  EXPECT_TRUE(fs::is_symlink(dir / "link"));
  EXPECT_EQ(fs.readString(dir / "secret"), "new");
  EXPECT_EQ(modeOf(dir / "secret"), 0600u);
  EXPECT_TRUE(strays(dir.path()).empty());

  // A dangling link gets its target created.
  fs::create_symlink(dir / "later", dir / "dangling");
  fs.write("text", dir / "dangling", true);
  EXPECT_TRUE(fs::is_symlink(dir / "dangling"));
  EXPECT_EQ(fs.readData(dir / "later"), "text");
}

TEST_F(LiveFileSystemTest, NewFileGetsUmaskedDefaultMode) {
  mode_t mask = ::umask(022);
  ::umask(mask);
  fs.writeData("x", dir / "fresh");
  EXPECT_EQ(modeOf(dir / "fresh"), 0666u & ~mask);
}

TEST_F(LiveFileSystemTest, TemporaryFilesAreNeverInheritedByChildren) {
  // Atomic writes: a child started on another thread while the bytes are written
  // must not get the temporary file's descriptor.
  std::vector<int> descriptorFlags;
  ByteWriterFileSystem watched(withHome(dir / "home"), [&](int fd, const void* bytes, std::size_t size) {
    descriptorFlags.push_back(::fcntl(fd, F_GETFD));
    return ::write(fd, bytes, size);
  });
  watched.writeData("x", dir / "settings");
  ASSERT_EQ(descriptorFlags.size(), 1u);
  EXPECT_NE(descriptorFlags[0] & FD_CLOEXEC, 0);

  // Downloads and other private temporary files.
  std::string pattern = (dir / "download-XXXXXX").string();
  const int fd = createPrivateTemporaryFile(pattern);
  ASSERT_GE(fd, 0);
  EXPECT_NE(::fcntl(fd, F_GETFD) & FD_CLOEXEC, 0);
  ::close(fd);
  EXPECT_EQ(modeOf(pattern), 0600u);
}

TEST_F(LiveFileSystemTest, FailedAtomicWriteLeavesOriginalAndNoTemporaryFile) {
  fs.writeData("original", dir / "settings");
  // The disk fills up after 3 bytes of the temporary file.
  std::size_t budget = 3;
  ByteWriterFileSystem fullDisk({}, [&](int fd, const void* bytes, std::size_t size) {
    if (budget == 0) {
      errno = ENOSPC;
      return ssize_t{-1};
    }
    ssize_t wrote = ::write(fd, bytes, std::min(size, budget));
    budget -= static_cast<std::size_t>(wrote);
    return wrote;
  });

  try {
    fullDisk.writeData("replacement", dir / "settings");
    FAIL() << "the write should fail";
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.code().value(), ENOSPC);
    EXPECT_EQ(error.description(), "There isn\u2019t enough space on the disk to save \u201Csettings\u201D.");
  }
  EXPECT_EQ(fs.readData(dir / "settings"), "original");
  EXPECT_TRUE(strays(dir.path()).empty());

  // A real failure: the target is a folder.
  fs.createDirectory(dir / "a-folder", false);
  EXPECT_THROW(fs.writeData("x", dir / "a-folder"), FileSystemError);
  EXPECT_TRUE(strays(dir.path()).empty());
}

TEST_F(LiveFileSystemTest, InPlaceWriteTruncates) {
  fs.writeData("a long original text", dir / "f");
  fs.write("short", dir / "f", false);
  EXPECT_EQ(fs.readData(dir / "f"), "short");
}

TEST_F(LiveFileSystemTest, ReadStringRejectsInvalidUtf8) {
  fs.writeData("caf\xC3\xA9 \xF0\x9F\x90\x8D", dir / "good");
  EXPECT_EQ(fs.readString(dir / "good"), "caf\xC3\xA9 \xF0\x9F\x90\x8D");
  for (std::string bad : {"\xC3", "\xC0\xAF", "\xED\xA0\x80", "\xF4\x90\x80\x80", "ok\xFF"}) {
    fs.writeData(bad, dir / "bad");
    EXPECT_EQ(fs.readData(dir / "bad"), bad);
    try {
      fs.readString(dir / "bad");
      ADD_FAILURE() << "accepted invalid UTF-8";
    } catch (const FileSystemError& error) {
      EXPECT_EQ(error.code().value(), EILSEQ);
    }
  }
}

TEST_F(LiveFileSystemTest, ErrorsNameTheItemInPlainWords) {
  try {
    fs.readData(dir / ".zprofile");
    FAIL();
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.code().value(), ENOENT);
    EXPECT_EQ(error.path(), dir / ".zprofile");
    EXPECT_EQ(error.description(), "The file \u201C.zprofile\u201D doesn\u2019t exist.");
  }
  EXPECT_EQ(makeFileSystemError(EACCES, FileOperation::save, "/Users/alice/.zprofile").description(),
            "You don\u2019t have permission to save the file \u201C.zprofile\u201D in the folder \u201C"
            "alice\u201D.");
  EXPECT_EQ(makeFileSystemError(EIO, FileOperation::remove, "/x/y").description(),
            "The file \u201Cy\u201D couldn\u2019t be removed: Input/output error.");
}

TEST_F(LiveFileSystemTest, MoveAndCopyRefuseToReplace) {
  fs.writeData("a", dir / "a");
  fs.writeData("b", dir / "b");
  try {
    fs.moveItem(dir / "a", dir / "b");
    FAIL();
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.description(),
              "\u201C"
              "a\u201D couldn\u2019t be moved because an item with the same name already exists.");
  }
  EXPECT_THROW(fs.copyItem(dir / "a", dir / "b"), FileSystemError);
  EXPECT_EQ(fs.readData(dir / "b"), "b");
  fs.moveItem(dir / "a", dir / "c");
  EXPECT_FALSE(fs.fileExists(dir / "a"));
  EXPECT_EQ(fs.readData(dir / "c"), "a");
}

TEST_F(LiveFileSystemTest, CopyIsRecursiveAndKeepsModesLinksAndDates) {
  fs.createDirectory(dir / "src" / "bin", true);
  fs.writeData("#!/bin/sh\n", dir / "src" / "bin" / "tool");
  fs.setAttributes(permissions(0750), dir / "src" / "bin" / "tool");
  fs::create_symlink("bin/tool", dir / "src" / "link");
  auto stamp = std::chrono::system_clock::time_point(std::chrono::seconds(1'600'000'000));
  fs.setAttributes(modified(stamp), dir / "src" / "bin" / "tool");

  fs.copyItem(dir / "src", dir / "dst");

  EXPECT_EQ(fs.readData(dir / "dst" / "bin" / "tool"), "#!/bin/sh\n");
  EXPECT_EQ(modeOf(dir / "dst" / "bin" / "tool"), 0750u);
  EXPECT_EQ(fs.attributesOfItem(dir / "dst" / "bin" / "tool").modificationDate, stamp);
  EXPECT_EQ(fs::read_symlink(dir / "dst" / "link"), "bin/tool");

  fs.removeItem(dir / "src");
  EXPECT_FALSE(fs.fileExists(dir / "src"));
  EXPECT_THROW(fs.removeItem(dir / "src"), FileSystemError);
}

TEST_F(LiveFileSystemTest, DirectoriesAndListing) {
  fs.createDirectory(dir / "a" / "b" / "c", true);
  fs.createDirectory(dir / "a" / "b" / "c", true);  // already there: fine
  EXPECT_THROW(fs.createDirectory(dir / "a", false), FileSystemError);
  EXPECT_THROW(fs.createDirectory(dir / "x" / "y", false), FileSystemError);
  fs.writeData("", dir / "a" / "file");
  EXPECT_THROW(fs.createDirectory(dir / "a" / "file" / "sub", true), FileSystemError);

  auto names = fs.contentsOfDirectory(dir / "a");
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"b", "file"}));
  EXPECT_THROW(fs.contentsOfDirectory(dir / "a" / "file"), FileSystemError);

  EXPECT_EQ(fs.applicationSupportDirectory(), dir / "home" / "Library" / "Application Support");
  EXPECT_TRUE(fs.directoryExists(dir / "home" / "Library" / "Caches") || fs.cachesDirectory() != fs::path());
  EXPECT_TRUE(fs.directoryExists(fs.cachesDirectory()));
  EXPECT_GT(fs.volumeAvailableCapacity(dir / "not" / "yet").value_or(-1), 0);
}

class RootedFileSystemTest : public ::testing::Test {
 protected:
  TempDir dir;
  RootedFileSystem fs{dir.path()};
};

TEST_F(RootedFileSystemTest, MapsVirtualPathsIntoTheRoot) {
  fs.makeExecutable("/opt/homebrew/bin/brew");
  fs.makeSymlink("/usr/local/bin/brew", "/opt/homebrew/bin/brew");
  fs.writeFile("/Users/alice/.zprofile", "export A=1\n", 0600);

  EXPECT_EQ(fs.homeDirectory(), "/Users/alice");
  EXPECT_TRUE(fs.isExecutableFile("/usr/local/bin/brew"));
  EXPECT_TRUE(fs::exists(dir / "opt/homebrew/bin/brew"));
  EXPECT_EQ(fs.realPath("/Users/alice/.zprofile"), dir / "Users/alice/.zprofile");
  EXPECT_EQ(fs.realPath("/../../etc/passwd"), dir / "etc/passwd");
  EXPECT_EQ(fs.applicationSupportDirectory(), "/Users/alice/Library/Application Support");
  EXPECT_TRUE(fs::is_directory(dir / "Users/alice/Library/Application Support"));

  auto snapshot = fs.snapshot();
  EXPECT_EQ(snapshot.at("/usr/local/bin/brew"),
            (RootedFileSystem::Item{FileType::symlink, "/opt/homebrew/bin/brew", 0777}));
  EXPECT_EQ(snapshot.at("/Users/alice/.zprofile"), (RootedFileSystem::Item{FileType::regular, "export A=1\n", 0600}));

  try {
    fs.readString("/Users/alice/.zshrc");
    FAIL();
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.path(), "/Users/alice/.zshrc");
  }
}

TEST_F(RootedFileSystemTest, FaultInjectionOnEveryOperationLeavesFilesSound) {
  auto rooted = std::make_shared<RootedFileSystem>(dir.path());
  rooted->writeFile("/Users/alice/.zprofile", "original\n", 0644);
  auto before = rooted->snapshot();
  FaultInjectingFileSystem faulty(rooted);

  auto work = [&] {
    faulty.createDirectory("/Users/alice/.config", true);
    faulty.writeData("new\n", "/Users/alice/.zprofile");
    faulty.setAttributes(permissions(0600), "/Users/alice/.zprofile");
  };
  work();
  const int operations = faulty.operationCount();
  ASSERT_EQ(operations, 3);

  for (int n = 1; n <= operations; ++n) {
    if (rooted->fileExists("/Users/alice/.config")) rooted->removeItem("/Users/alice/.config");
    rooted->writeData("original\n", "/Users/alice/.zprofile");
    rooted->setAttributes(permissions(0644), "/Users/alice/.zprofile");
    faulty.failOperation(n, EACCES);
    EXPECT_THROW(work(), FileSystemError) << n;
    EXPECT_TRUE(faulty.faultFired());
    if (n <= 2) {
      EXPECT_EQ(rooted->snapshot().at("/Users/alice/.zprofile"), before.at("/Users/alice/.zprofile"));
    }
  }
}

TEST(FaultInjectingFileSystemTest, DiskFullHalfwayThroughAtomicWriteKeepsOriginal) {
  TempDir dir;
  std::shared_ptr<RootedFileSystem> rooted;
  FaultInjectingFileSystem faulty([&](ByteWriter writer) {
    RootedFileSystem::Options options;
    options.writeBytes = std::move(writer);
    rooted = std::make_shared<RootedFileSystem>(dir.path(), options);
    return rooted;
  });
  rooted->writeFile("/Users/alice/.env", "KEY=1\n", 0600);
  auto before = rooted->snapshot();
  faulty.failOperation(1, ENOSPC, FaultInjectingFileSystem::FaultKind::partialWrite);

  try {
    faulty.writeData(std::string(10000, 'z'), "/Users/alice/.env");
    FAIL();
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.code().value(), ENOSPC);
    EXPECT_EQ(error.path(), "/Users/alice/.env");
  }
  EXPECT_EQ(rooted->snapshot(), before);

  // The same fault in place really leaves half a file: that is what atomic writes avoid.
  faulty.failOperation(1, ENOSPC, FaultInjectingFileSystem::FaultKind::partialWrite);
  EXPECT_THROW(faulty.write(std::string(10000, 'z'), "/Users/alice/.env", false), FileSystemError);
  EXPECT_EQ(rooted->contents("/Users/alice/.env"), std::string(5000, 'z'));
}

}  // namespace
}  // namespace bnch

namespace bnch {
namespace {

// Reads of a person's file never wait on what is not a regular file, and never
// take more than their limit.
TEST_F(LiveFileSystemTest, ReadsRefuseWhatIsNotARegularFileAndWhatIsTooLarge) {
  const fs::path fifo = dir / ".zprofile";
  ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
  const fs::path socketPath = dir / "agent.sock";
  const int socketFd = ::socket(AF_UNIX, SOCK_STREAM, 0);
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  std::snprintf(address.sun_path, sizeof address.sun_path, "%s", socketPath.c_str());
  ASSERT_EQ(::bind(socketFd, reinterpret_cast<sockaddr*>(&address), sizeof address), 0);
  fs::create_symlink("/dev/zero", dir / "pending-events.json");
  fs::create_symlink(fifo, dir / ".zshrc");

  for (const fs::path& item : {fifo, socketPath, dir / "pending-events.json", dir / ".zshrc"}) {
    try {
      fs.readData(item);
      ADD_FAILURE() << item;
    } catch (const FileSystemError& error) {
      EXPECT_EQ(error.description(), "The file \u201C" + item.filename().string() +
                                         "\u201D couldn\u2019t be opened because it isn\u2019t a regular file.");
    }
  }
  ::close(socketFd);

  // A link to a regular file is read through; a file over the limit is refused.
  fs.writeData("0123456789", dir / "notes.md");
  fs::create_symlink(dir / "notes.md", dir / "AGENTS.md");
  EXPECT_EQ(fs.readString(dir / "AGENTS.md"), "0123456789");
  EXPECT_EQ(fs.readData(dir / "notes.md", 10), "0123456789");
  try {
    fs.readData(dir / "notes.md", 9);
    FAIL();
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.code().value(), EFBIG);
    EXPECT_EQ(error.description(),
              "The file \u201Cnotes.md\u201D couldn\u2019t be opened because it is larger than 1 MB.");
  }
}

TEST_F(LiveFileSystemTest, AWriteWithPermissionsHasThemFromTheFirstByte) {
  const fs::path file = dir / ".claude.json";
  fs.writeData("{}", file);
  ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
  fs.writeData("{\"a\":1}", file, 0600);  // an existing file takes the given bits
  EXPECT_EQ(modeOf(file), 0600u);
  fs.writeData("x", dir / "new.bak", 0400);  // and so does a new one
  EXPECT_EQ(modeOf(dir / "new.bak"), 0400u);
  EXPECT_EQ(fs.readData(dir / "new.bak"), "x");
  EXPECT_TRUE(strays(dir.path()).empty());
}

// A write through a link fails in the folder of the link's target: that folder is named.
TEST_F(LiveFileSystemTest, AFailedWriteThroughALinkNamesTheFolderThatFailed) {
  fs::create_directories(dir / "home");
  fs::create_symlink(dir / "gone" / "dotfiles" / "env", dir / "home" / ".env");
  try {
    fs.writeData("KEY=1\n", dir / "home" / ".env");
    FAIL();
  } catch (const FileSystemError& error) {
    EXPECT_EQ(error.path(), dir / "home" / ".env");
    EXPECT_EQ(error.description(), "The folder \u201Cdotfiles\u201D doesn\u2019t exist.");
  }
  EXPECT_EQ(
      makeFileSystemError(EACCES, FileOperation::save, "/Users/alice/.zprofile", "/Volumes/ro/dotfiles").description(),
      "You don\u2019t have permission to save the file \u201C.zprofile\u201D in the folder \u201Cdotfiles\u201D.");
}

// A write cut short by the file-size limit fails like a full disk (instead of
// SIGXFSZ ending the program halfway) and leaves no temporary file.
TEST_F(LiveFileSystemTest, AWriteBeyondTheFileSizeLimitFailsAndLeavesNoTemporaryFile) {
  fs.writeData("original\n", dir / ".zshrc");
  const pid_t child = ::fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    rlimit limit{4096, 4096};
    ::setrlimit(RLIMIT_FSIZE, &limit);
    LiveFileSystem live;
    try {
      live.writeData(std::string(1 << 20, 'x'), dir / ".zshrc.bak");
      ::_exit(1);
    } catch (const FileSystemError& error) {
      ::_exit(error.code().value() == EFBIG ? 0 : 2);
    }
  }
  int status = 0;
  ASSERT_EQ(::waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "ended by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0);
  EXPECT_TRUE(strays(dir.path()).empty());
  EXPECT_FALSE(fs.fileExists(dir / ".zshrc.bak"));
  EXPECT_EQ(fs.readData(dir / ".zshrc"), "original\n");
}

}  // namespace
}  // namespace bnch
