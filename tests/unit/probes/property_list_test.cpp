#include <gtest/gtest.h>

#include "engine/probes/property_list.h"

namespace bnch {
namespace {

TEST(PropertyList, ReadsNestedDictionariesAndEntities) {
  const auto plist = PropertyList::parse(
      "\xEF\xBB\xBF<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
      "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" \"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
      "<plist version=\"1.0\">\n<dict>\n  <!-- a comment -->\n"
      "  <key>CFBundleName</key><string>Tom &amp; Jerry &#x2014; &lt;JDK&gt;</string>\n"
      "  <key>JavaVM</key>\n  <dict>\n    <key>JVMVersion</key>\n    <string>17.0.9</string>\n"
      "    <key>JVMCapabilities</key><array><string>CommandLine</string><string/></array>\n"
      "    <key>JVMEnabled</key><true/>\n    <key>Count</key><integer>-3</integer>\n"
      "    <key>Ratio</key><real>1.5</real>\n  </dict>\n  <key>Empty</key><dict/>\n</dict>\n</plist>\n");
  ASSERT_TRUE(plist.has_value());
  ASSERT_NE(plist->find("CFBundleName"), nullptr);
  EXPECT_EQ(*plist->find("CFBundleName")->string(), "Tom & Jerry \u2014 <JDK>");
  const auto* javaVM = plist->find("JavaVM");
  ASSERT_NE(javaVM, nullptr);
  EXPECT_EQ(*javaVM->find("JVMVersion")->string(), "17.0.9");
  EXPECT_EQ(javaVM->find("JVMCapabilities")->array.size(), 2u);
  EXPECT_TRUE(javaVM->find("JVMEnabled")->boolean);
  EXPECT_EQ(javaVM->find("Count")->integer, -3);
  EXPECT_EQ(javaVM->find("Ratio")->real, 1.5);
  EXPECT_EQ(javaVM->find("JVMEnabled")->string(), nullptr);  // not a string
  EXPECT_EQ(plist->find("Missing"), nullptr);
}

TEST(PropertyList, AnythingButWellFormedXmlGivesNothing) {
  EXPECT_FALSE(PropertyList::parse(std::string("bplist00\xd1\x01\x02", 11)).has_value());
  EXPECT_FALSE(PropertyList::parse("").has_value());
  EXPECT_FALSE(PropertyList::parse("JAVA_VERSION=\"17\"").has_value());
  EXPECT_FALSE(PropertyList::parse("<plist><dict><key>a</key><string>b</dict></plist>").has_value());
  EXPECT_FALSE(PropertyList::parse("<plist><dict><key>a</key></dict></plist>").has_value());
  EXPECT_FALSE(PropertyList::parse("<plist><dict><string>no key</string></dict></plist>").has_value());
  EXPECT_FALSE(PropertyList::parse("<plist><integer>12abc</integer></plist>").has_value());
  EXPECT_FALSE(PropertyList::parse("<plist><string>&bogus;</string></plist>").has_value());
  EXPECT_FALSE(PropertyList::parse("<plist><string>&#0;</string></plist>").has_value());
  EXPECT_FALSE(PropertyList::parse("<plist><dict>").has_value());
  std::string deep = "<plist>";
  for (int i = 0; i < 5000; ++i) deep += "<array>";
  EXPECT_FALSE(PropertyList::parse(deep).has_value());  // no stack exhaustion
}

}  // namespace
}  // namespace bnch
