// Bundle folders java_home does not report are read from their release file or Info.plist.
#include <gtest/gtest.h>

#include "engine/probes/java_probe.h"
#include "tests/support/rooted_file_system.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::RootedFileSystem;
using testing::TempDir;

const std::string jvms = "/Library/Java/JavaVirtualMachines/";

std::string infoPlist(const std::string& version) {
  return "<?xml version=\"1.0\"?><plist version=\"1.0\"><dict><key>JavaVM</key><dict><key>JVMVersion</key><string>" +
         version + "</string></dict></dict></plist>";
}

TEST(JavaBundles, UnreportedFoldersAreAddedAfterTheReportedOnes) {
  TempDir dir;
  RootedFileSystem fs(dir.path());
  // Reported by java_home: not examined again, even with a release file.
  fs.writeFile(jvms + "temurin-21.jdk/Contents/Home/release", "JAVA_VERSION=\"99\"\n");
  fs.writeFile(jvms + "zulu-17.jdk/Contents/Home/release",
               "IMPLEMENTOR=\"Azul Systems, Inc.\"\nJAVA_VERSION=\"17.0.9\"\nOS_ARCH=\"aarch64\"\n");
  fs.writeFile(jvms + "intel-21.jdk/Contents/Home/release", "JAVA_VERSION=\"21.0.1\"\nOS_ARCH=\"x86_64\"\n");
  fs.writeFile(jvms + "plist-only.jdk/Contents/Info.plist", infoPlist("11.0.2"));
  // A release file with garbage falls through to the property list.
  fs.writeFile(jvms + "garbage.jdk/Contents/Home/release", "\xff\xfe\x00JAVA_VERSION=17\n");
  fs.writeFile(jvms + "garbage.jdk/Contents/Info.plist", infoPlist("1.8.0_392"));
  // Neither source gives a version: nothing.
  fs.writeFile(jvms + "broken.jdk/Contents/Home/release", "JAVA_VERSION=\"unknown\"\n");
  fs.writeFile(jvms + "broken.jdk/Contents/Info.plist", "bplist00\x01\x02");
  fs.writeFile(jvms + "text-plist.jdk/Contents/Info.plist", "JVMVersion = 17");
  fs.writeFile(jvms + ".DS_Store", "");

  const std::vector<JDKInfo> reported{
      {"21.0.2", "Eclipse Adoptium", "arm64", jvms + "temurin-21.jdk/Contents/Home"},
      {"17.0.1", "Other", "arm64", "/Users/alice/jdk/Home"},
  };
  const std::vector<std::string> folders{"temurin-21.jdk", "zulu-17.jdk", "intel-21.jdk",   "plist-only.jdk",
                                         "garbage.jdk",    "broken.jdk",  "text-plist.jdk", ".DS_Store"};
  const auto merged = JavaProbe::mergeInstalled(fs, reported, folders);
  const std::vector<JDKInfo> expected{
      reported[0],
      reported[1],
      {"17.0.9", "Azul Systems, Inc.", "arm64", jvms + "zulu-17.jdk/Contents/Home"},
      {"21.0.1", "", "x86_64", jvms + "intel-21.jdk/Contents/Home"},
      {"11.0.2", "", "", jvms + "plist-only.jdk/Contents/Home"},
      {"1.8.0_392", "", "", jvms + "garbage.jdk/Contents/Home"},
  };
  EXPECT_EQ(merged, expected);
}

}  // namespace
}  // namespace bnch
