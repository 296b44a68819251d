#include "engine/probes/language_detector.h"

#include <algorithm>
#include <initializer_list>

#include "engine/probes/probe_files.h"

namespace bnch {

std::optional<std::string> LanguageStatus::statusLine() const {
  switch (kind) {
    case Kind::setUp:
      return "already set up (" + manager + ")";
    case Kind::managedBy:
      return "managed by " + manager + " \u2014 installing ours may conflict";
    case Kind::systemInstall:
      return "upgrade recommended (an outdated system install was found)";
    case Kind::notInstalled:
      return std::nullopt;
  }
  return std::nullopt;
}

LanguageStatus LanguageDetector::status(BNCHLanguage language) const {
  const auto home = fs_.homeDirectory();
  auto hasEntries = [&](const char* relative) { return ProbeFiles::hasEntries(fs_, home / relative); };
  auto exists = [&](const char* relative) { return ProbeFiles::exists(fs_, home / relative); };
  auto executable = [&](std::initializer_list<const char*> paths) {
    return std::any_of(paths.begin(), paths.end(),
                       [&](const char* path) { return ProbeFiles::isExecutableFile(fs_, path); });
  };

  switch (language) {
    case BNCHLanguage::python:
      if (hasEntries(".local/share/uv/python")) return LanguageStatus::setUp("uv");
      if (hasEntries(".pyenv/versions")) return LanguageStatus::managedBy("pyenv");
      if (exists(".asdf/installs/python")) return LanguageStatus::managedBy("asdf");
      if (exists("miniconda3") || exists("anaconda3")) return LanguageStatus::managedBy("conda");
      if (executable({"/opt/homebrew/bin/python3", "/usr/local/bin/python3", "/usr/bin/python3"})) {
        return LanguageStatus::systemInstall();
      }
      break;
    case BNCHLanguage::node:
      if (hasEntries(".local/share/mise/installs/node")) return LanguageStatus::setUp("mise");
      if (hasEntries(".nvm/versions/node")) return LanguageStatus::managedBy("nvm");
      if (exists(".volta/bin/node")) return LanguageStatus::managedBy("volta");
      if (exists(".asdf/installs/nodejs")) return LanguageStatus::managedBy("asdf");
      if (exists(".local/share/fnm") || exists("Library/Application Support/fnm")) {
        return LanguageStatus::managedBy("fnm");
      }
      if (executable({"/opt/homebrew/bin/node", "/usr/local/bin/node"})) return LanguageStatus::systemInstall();
      break;
    case BNCHLanguage::java: {
      const auto bundles = ProbeFiles::entries(fs_, "/Library/Java/JavaVirtualMachines");
      if (std::any_of(bundles.begin(), bundles.end(),
                      [](const std::string& name) { return name.starts_with("temurin-") && name.ends_with(".jdk"); })) {
        return LanguageStatus::setUp("Temurin");
      }
      if (hasEntries(".sdkman/candidates/java")) return LanguageStatus::managedBy("SDKMAN");
      if (hasEntries(".jenv/versions")) return LanguageStatus::managedBy("jenv");
      if (std::any_of(bundles.begin(), bundles.end(), [](const std::string& name) { return name.ends_with(".jdk"); })) {
        return LanguageStatus::systemInstall();
      }
      break;
    }
    case BNCHLanguage::ruby:
      if (hasEntries(".local/share/mise/installs/ruby")) return LanguageStatus::setUp("mise");
      if (hasEntries(".rbenv/versions")) return LanguageStatus::managedBy("rbenv");
      if (hasEntries(".rvm/rubies")) return LanguageStatus::managedBy("rvm");
      if (hasEntries(".rubies")) return LanguageStatus::managedBy("chruby");
      if (exists(".asdf/installs/ruby")) return LanguageStatus::managedBy("asdf");
      if (executable({"/opt/homebrew/opt/ruby/bin/ruby", "/usr/bin/ruby"})) return LanguageStatus::systemInstall();
      break;
    case BNCHLanguage::rust:
      if (hasEntries(".rustup/toolchains") || exists(".cargo/bin/rustc")) return LanguageStatus::setUp("rustup");
      if (executable({"/opt/homebrew/bin/rustc"})) return LanguageStatus::systemInstall();
      break;
  }
  return LanguageStatus::notInstalled();
}

}  // namespace bnch
