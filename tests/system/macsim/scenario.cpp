#include "scenario.h"

#include <fstream>
#include <set>
#include <sstream>

namespace macsim {
namespace fs = std::filesystem;
using nlohmann::json;

int Machine::macosMajor() const {
  try {
    return std::stoi(macos);
  } catch (const std::exception&) {
    return 15;
  }
}

std::string Machine::darwinRelease() const {
  const int major = macosMajor();
  // macOS 11 is Darwin 20, and each major release adds one since then.
  const int darwin = major >= 11 ? major + 9 : 19;
  return std::to_string(darwin) + ".1.0";
}

namespace {

// Data-file references are relative to the scenario that names them; make them absolute
// before merging so that a scenario extending another one keeps its base's data.
void absolutize(json& doc, const fs::path& dir) {
  auto fix = [&](json& obj, const char* key) {
    if (obj.is_object() && obj.contains(key) && obj[key].is_string()) {
      fs::path p = obj[key].get<std::string>();
      if (p.is_relative()) obj[key] = (dir / p).lexically_normal().string();
    }
  };
  if (doc.contains("files") && doc["files"].is_array())
    for (auto& f : doc["files"]) fix(f, "from");
  if (doc.contains("programs") && doc["programs"].is_object()) {
    for (auto& [name, prog] : doc["programs"].items()) {
      fix(prog, "script_file");
      if (prog.contains("answers") && prog["answers"].is_array())
        for (auto& a : prog["answers"]) {
          fix(a, "stdout_file");
          fix(a, "stderr_file");
        }
    }
  }
}

// Objects merge key by key, "files" lists are concatenated, everything else is replaced.
void merge(json& base, const json& over, const std::string& key = "") {
  if (base.is_object() && over.is_object()) {
    for (auto& [k, v] : over.items()) {
      if (base.contains(k))
        merge(base[k], v, k);
      else
        base[k] = v;
    }
  } else if (key == "files" && base.is_array() && over.is_array()) {
    for (const auto& v : over) base.push_back(v);
  } else {
    base = over;
  }
}

json readDoc(const fs::path& file, std::set<fs::path>& seen) {
  const fs::path canon = fs::weakly_canonical(file);
  if (!seen.insert(canon).second) throw ScenarioError("scenario extends itself: " + file.string());
  std::ifstream in(file);
  if (!in) throw ScenarioError("cannot read scenario " + file.string());
  json doc;
  try {
    doc = json::parse(in, nullptr, true, /*ignore_comments=*/true);
  } catch (const json::exception& e) {
    throw ScenarioError(file.string() + ": " + e.what());
  }
  if (!doc.is_object()) throw ScenarioError(file.string() + ": the top level must be an object");
  absolutize(doc, canon.parent_path());
  if (doc.contains("extends")) {
    fs::path base = doc["extends"].get<std::string>();
    if (base.is_relative()) base = canon.parent_path() / base;
    json merged = readDoc(base, seen);
    doc.erase("extends");
    merge(merged, doc);
    return merged;
  }
  return doc;
}

bool validName(const std::string& s) {
  if (s.empty() || s.size() > 31 || s[0] == '-') return false;
  for (char c : s)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '-' || c == '.')) return false;
  return true;
}

}  // namespace

Scenario loadScenario(const fs::path& file) {
  std::set<fs::path> seen;
  Scenario s;
  s.file = file;
  s.name = file.stem().string();
  s.doc = readDoc(file, seen);
  try {
    const json m = s.doc.value("machine", json::object());
    Machine& mc = s.machine;
    mc.arch = m.value("arch", mc.arch);
    mc.macos = m.value("macos", mc.macos);
    mc.build = m.value("build", mc.build);
    mc.user = m.value("user", mc.user);
    mc.fullName = m.value("full_name", mc.fullName);
    mc.password = m.value("password", mc.password);
    mc.dialog = m.value("dialog", mc.dialog);
    mc.dialogAnswer = m.value("dialog_answer", mc.password);
    mc.admin = m.value("admin", mc.admin);
    mc.online = m.value("online", mc.online);
    if (m.contains("disk_free_gb")) {
      const double gigabytes = m.at("disk_free_gb").get<double>();
      if (!(gigabytes >= 0)) throw ScenarioError("machine.disk_free_gb must be 0 or more");
      mc.diskFreeBytes = static_cast<long long>(gigabytes * 1e9);
    }
    mc.hostname = m.value("hostname", mc.fullName + "s-MacBook-Pro");
    if (mc.arch != "arm64" && mc.arch != "x86_64") throw ScenarioError("machine.arch must be arm64 or x86_64");
    if (!validName(mc.user)) throw ScenarioError("machine.user is not a valid short user name: " + mc.user);
    if (mc.dialog != "ok" && mc.dialog != "cancel") throw ScenarioError("machine.dialog must be ok or cancel");
    if (s.doc.contains("env"))
      for (auto& [k, v] : s.doc["env"].items()) s.env[k] = v.get<std::string>();
  } catch (const json::exception& e) {
    throw ScenarioError(file.string() + ": " + e.what());
  }
  return s;
}

}  // namespace macsim
