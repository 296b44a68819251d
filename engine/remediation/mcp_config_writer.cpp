#include "engine/remediation/mcp_config_writer.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>

#include "engine/remediation/codex_config.h"
#include "engine/remediation/user_file.h"

namespace bnch {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Builds a JSON document like nlohmann's own parser, except that a number whose
// written form would not come back unchanged from a double (more digits than a
// double holds, integers beyond 64 bits, "1.50", "1e400") is kept as a
// placeholder string and written back verbatim by restoreNumbers(). A document
// nested deeper than kMaxDepth is refused as it is read, before it is built.
class NumberPreservingBuilder {
 public:
  static constexpr std::size_t kMaxDepth = 512;

  explicit NumberPreservingBuilder(json& root) : root_(root) {
    std::random_device random;
    char nonce[40];
    std::snprintf(nonce, sizeof nonce, "%08x%08x%08x", random(), random(), random());
    tokenPrefix_ = std::string("bnch-verbatim-number-") + nonce + "-";
  }

  bool null() { return added(nullptr); }
  bool boolean(bool value) { return added(value); }
  bool number_integer(json::number_integer_t value) { return added(value); }
  bool number_unsigned(json::number_unsigned_t value) { return added(value); }
  bool number_float(json::number_float_t value, const json::string_t& written) {
    if (json(value).dump() == written) return added(value);
    raw_.push_back(written);
    return added(tokenPrefix_ + std::to_string(raw_.size() - 1));
  }
  bool string(json::string_t& value) { return added(std::move(value)); }
  bool binary(json::binary_t& value) { return added(json::binary(std::move(value))); }
  bool start_object(std::size_t) {
    if (stack_.size() >= kMaxDepth) return false;
    stack_.push_back(add(json::object()));
    return true;
  }
  bool key(json::string_t& name) {
    key_ = std::move(name);
    return true;
  }
  bool end_object() {
    stack_.pop_back();
    return true;
  }
  bool start_array(std::size_t) {
    if (stack_.size() >= kMaxDepth) return false;
    stack_.push_back(add(json::array()));
    return true;
  }
  bool end_array() {
    stack_.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

  // Replaces each placeholder in serialised text with the number as written, in
  // one pass over the text.
  std::string restoreNumbers(const std::string& text) const {
    if (raw_.empty()) return text;
    const std::string opening = "\"" + tokenPrefix_;
    std::string restored;
    restored.reserve(text.size());
    std::size_t from = 0;
    for (auto at = text.find(opening); at != std::string::npos; at = text.find(opening, from)) {
      std::size_t digits = at + opening.size();
      std::size_t index = 0;
      while (digits < text.size() && text[digits] >= '0' && text[digits] <= '9') {
        index = index * 10 + static_cast<std::size_t>(text[digits] - '0');
        ++digits;
      }
      // The nonce makes a person's own string of this shape practically impossible.
      if (digits == at + opening.size() || digits >= text.size() || text[digits] != '"' || index >= raw_.size()) {
        restored.append(text, from, digits - from);
        from = digits;
        continue;
      }
      restored.append(text, from, at - from);
      restored += raw_[index];
      from = digits + 1;
    }
    restored.append(text, from, std::string::npos);
    return restored;
  }

 private:
  template <typename Value>
  bool added(Value&& value) {
    add(std::forward<Value>(value));
    return true;
  }

  template <typename Value>
  json* add(Value&& value) {
    if (stack_.empty()) {
      root_ = json(std::forward<Value>(value));
      return &root_;
    }
    json& parent = *stack_.back();
    if (parent.is_array()) {
      parent.push_back(json(std::forward<Value>(value)));
      return &parent.back();
    }
    json& slot = parent[key_];
    slot = json(std::forward<Value>(value));
    return &slot;
  }
  json& root_;
  std::vector<json*> stack_;
  std::string key_;
  std::vector<std::string> raw_;
  std::string tokenPrefix_;
};

bool isPresentAt(const FileSystemOperating& fs, const fs::path& home, const char* configDir, const char* command) {
  return fs.fileExists(home / configDir) || fs.fileExists(fs::path("/opt/homebrew/bin") / command) ||
         fs.fileExists(fs::path("/usr/local/bin") / command);
}

// A copy of `file` as `<file>.bak`, readable by its owner only.
void writePrivateBackup(FileSystemOperating& fs, const std::string& bytes, const fs::path& file) {
  fs::path backup = file;
  backup += ".bak";
  fs.writeData(bytes, backup, 0600);
}

}  // namespace

bool MCPConfigWriter::declaresCodexServer(std::string_view toml, std::string_view slug) {
  return CodexConfig::declaresServer(toml, slug);
}

MCPConfigWriter::Outcome MCPConfigWriter::addToClaude(const std::string& slug, const std::string& url) const {
  const fs::path home = fs_->homeDirectory();
  Outcome outcome;
  outcome.agentPresent = isPresentAt(*fs_, home, ".claude", "claude");
  if (!outcome.agentPresent) return outcome;

  const fs::path file = home / ".claude.json";
  const auto manualLine = [&] {
    outcome.lines.push_back("Couldn\u2019t read ~/.claude.json, so " + slug +
                            " wasn\u2019t added automatically. You can add it with:  claude mcp add --transport http " +
                            slug + " " + url + " -s user");
    outcome.failed = true;
    return outcome;
  };

  std::optional<std::string> existing;
  try {
    existing = user_file::readExisting(*fs_, file);
  } catch (const std::exception&) {
    return manualLine();
  }

  json root = json::object();
  NumberPreservingBuilder builder(root);
  if (existing && (!json::sax_parse(*existing, &builder) || !root.is_object())) return manualLine();
  json& servers = root["mcpServers"];
  if (servers.is_null()) servers = json::object();
  if (!servers.is_object()) return manualLine();  // not ours to reshape

  if (servers.contains(slug)) {
    outcome.lines.push_back(slug + " is already in your Claude Code config \u2014 left as is.");
    return outcome;
  }
  servers[slug] = json{{"type", "http"}, {"url", url}};

  try {
    const std::string text = builder.restoreNumbers(root.dump(2));
    if (existing) writePrivateBackup(*fs_, *existing, file);
    fs_->writeData(text, file, 0600);
  } catch (const std::exception& error) {
    outcome.lines.push_back("Couldn\u2019t write your Claude Code config: " + user_file::describe(error));
    outcome.failed = true;
    return outcome;
  }
  outcome.lines.push_back("Added " + slug + " to your Claude Code config.");
  return outcome;
}

MCPConfigWriter::Outcome MCPConfigWriter::addToCodex(const std::string& slug, const std::string& url) const {
  const fs::path home = fs_->homeDirectory();
  Outcome outcome;
  outcome.agentPresent = isPresentAt(*fs_, home, ".codex", "codex");
  if (!outcome.agentPresent) return outcome;

  const fs::path folder = home / ".codex";
  const fs::path file = folder / "config.toml";
  try {
    // A file that exists but cannot be read is reported here and never replaced.
    const std::string existing = user_file::readExisting(*fs_, file).value_or("");
    const CodexConfig::Addition addition = CodexConfig::addServer(existing, slug, url);
    switch (addition.outcome) {
      case CodexConfig::Outcome::alreadyPresent:
        outcome.lines.push_back(slug + " is already in your Codex config \u2014 left as is.");
        return outcome;
      case CodexConfig::Outcome::unreadable:
      case CodexConfig::Outcome::cannotAppend: {
        const char* why = addition.outcome == CodexConfig::Outcome::unreadable ? "read" : "safely change";
        std::string table = CodexConfig::serverTable(slug, url);
        table.pop_back();
        for (auto at = table.find('\n'); at != std::string::npos; at = table.find('\n', at)) table.replace(at, 1, "  ");
        outcome.lines.push_back(std::string("Couldn\u2019t ") + why + " ~/.codex/config.toml, so " + slug +
                                " wasn\u2019t added automatically. You can add it to that file yourself:  " + table);
        outcome.failed = true;
        return outcome;
      }
      case CodexConfig::Outcome::added:
        break;
    }
    fs_->createDirectory(folder, true);
    if (!existing.empty()) writePrivateBackup(*fs_, existing, file);
    fs_->writeData(addition.contents, file, 0600);
  } catch (const std::exception& error) {
    outcome.lines.push_back("Couldn't write your Codex config: " + user_file::describe(error));
    outcome.failed = true;
    return outcome;
  }
  outcome.lines.push_back("Added " + slug + " to your Codex config.");
  return outcome;
}

}  // namespace bnch
