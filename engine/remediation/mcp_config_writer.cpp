#include "engine/remediation/mcp_config_writer.h"

#include <cstdio>
#include <nlohmann/json.hpp>
#include <optional>
#include <random>

#include "engine/remediation/user_file.h"

namespace bnch {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

// Builds a JSON document like nlohmann's own parser, except that a number whose
// written form would not come back unchanged from a double (more digits than a
// double holds, integers beyond 64 bits, "1.50", "1e400") is kept as a
// placeholder string and written back verbatim by restoreNumbers().
class NumberPreservingBuilder {
 public:
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
    stack_.push_back(add(json::array()));
    return true;
  }
  bool end_array() {
    stack_.pop_back();
    return true;
  }
  bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

  // Replaces each placeholder in serialised text with the number as written.
  std::string restoreNumbers(std::string text) const {
    for (std::size_t index = 0; index < raw_.size(); ++index) {
      const std::string token = "\"" + tokenPrefix_ + std::to_string(index) + "\"";
      if (auto at = text.find(token); at != std::string::npos) text.replace(at, token.size(), raw_[index]);
    }
    return text;
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

std::string tomlQuoted(std::string_view text) {
  std::string quoted = "\"";
  for (char c : text) {
    switch (c) {
      case '"':
        quoted += "\\\"";
        break;
      case '\\':
        quoted += "\\\\";
        break;
      case '\n':
        quoted += "\\n";
        break;
      case '\r':
        quoted += "\\r";
        break;
      case '\t':
        quoted += "\\t";
        break;
      default:
        if (static_cast<unsigned char>(c) < 0x20 || c == 0x7f) {
          char escaped[8];
          std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(static_cast<unsigned char>(c)));
          quoted += escaped;
        } else {
          quoted += c;
        }
    }
  }
  return quoted + "\"";
}

// The parts of a TOML dotted key ("a . 'b.c' . \"d\"" -> a, b.c, d); nothing when malformed.
std::optional<std::vector<std::string>> dottedKeyParts(std::string_view key) {
  std::vector<std::string> parts;
  std::size_t i = 0;
  const auto skipBlanks = [&] {
    while (i < key.size() && (key[i] == ' ' || key[i] == '\t')) ++i;
  };
  while (true) {
    skipBlanks();
    if (i >= key.size()) return std::nullopt;
    std::string part;
    if (key[i] == '"' || key[i] == '\'') {
      const char quote = key[i++];
      while (i < key.size() && key[i] != quote) {
        if (quote == '"' && key[i] == '\\' && i + 1 < key.size()) ++i;
        part += key[i++];
      }
      if (i >= key.size()) return std::nullopt;
      ++i;
    } else {
      while (i < key.size() && key[i] != '.' && key[i] != ' ' && key[i] != '\t') part += key[i++];
      if (part.empty()) return std::nullopt;
    }
    parts.push_back(std::move(part));
    skipBlanks();
    if (i >= key.size()) return parts;
    if (key[i] != '.') return std::nullopt;
    ++i;
  }
}

bool isPresentAt(const FileSystemOperating& fs, const fs::path& home, const char* configDir, const char* command) {
  return fs.fileExists(home / configDir) || fs.fileExists(fs::path("/opt/homebrew/bin") / command) ||
         fs.fileExists(fs::path("/usr/local/bin") / command);
}

// Writes `bytes` to `file` atomically and makes it readable by its owner only. A
// file this call created is removed again when its permissions cannot be set,
// so a copy of a configuration never stays readable by others.
void writePrivate(FileSystemOperating& fs, const std::string& bytes, const fs::path& file) {
  const bool existed = fs.fileExists(file);
  fs.writeData(bytes, file);
  try {
    fs.setAttributes(FileAttributes{.posixPermissions = 0600}, file);
  } catch (const std::exception&) {
    if (!existed) {
      try {
        fs.removeItem(file);
      } catch (const std::exception&) {
      }
    }
    throw;
  }
}

// Replaces `<file>.bak` with `bytes`, readable by its owner only.
void writePrivateBackup(FileSystemOperating& fs, const std::string& bytes, const fs::path& file) {
  fs::path backup = file;
  backup += ".bak";
  writePrivate(fs, bytes, backup);
}

}  // namespace

bool MCPConfigWriter::declaresCodexServer(std::string_view toml, std::string_view slug) {
  std::size_t start = 0;
  while (start < toml.size()) {
    auto end = toml.find('\n', start);
    if (end == std::string_view::npos) end = toml.size();
    std::string_view line = toml.substr(start, end - start);
    start = end + 1;

    const auto first = line.find_first_not_of(" \t");
    if (first == std::string_view::npos || line[first] != '[' || line.substr(first).starts_with("[[")) continue;
    line.remove_prefix(first + 1);
    // The header ends at the first "]" outside quotes; a comment may follow.
    std::size_t close = 0;
    char quote = 0;
    for (; close < line.size(); ++close) {
      const char c = line[close];
      if (quote) {
        if (c == '\\' && quote == '"') {
          ++close;
        } else if (c == quote) {
          quote = 0;
        }
      } else if (c == '"' || c == '\'') {
        quote = c;
      } else if (c == ']') {
        break;
      }
    }
    if (close >= line.size()) continue;
    const auto parts = dottedKeyParts(line.substr(0, close));
    if (parts && parts->size() == 2 && (*parts)[0] == "mcp_servers" && (*parts)[1] == slug) return true;
  }
  return false;
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
    writePrivate(*fs_, text, file);
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
    if (declaresCodexServer(existing, slug)) {
      outcome.lines.push_back(slug + " is already in your Codex config \u2014 left as is.");
      return outcome;
    }
    std::string contents = existing;
    contents += user_file::blockSeparator(existing);
    contents += "[mcp_servers." + slug + "]\nurl = " + tomlQuoted(url) + "\n";

    fs_->createDirectory(folder, true);
    if (!existing.empty()) writePrivateBackup(*fs_, existing, file);
    writePrivate(*fs_, contents, file);
  } catch (const std::exception& error) {
    outcome.lines.push_back("Couldn't write your Codex config: " + user_file::describe(error));
    outcome.failed = true;
    return outcome;
  }
  outcome.lines.push_back("Added " + slug + " to your Codex config.");
  return outcome;
}

}  // namespace bnch
