#include "layout.h"

#include <fcntl.h>
#include <ftw.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <ctime>
#include <fstream>
#include <sstream>
#include <vector>

namespace macsim {
namespace fs = std::filesystem;
using nlohmann::json;

namespace {

constexpr int kRootUid = 0;
constexpr int kAdminGid = 80;

// The system programs macsim fakes by default, at their macOS paths. `which` is listed so a
// scenario can replace it, but Debian's answers like macOS's and stays unless replaced.
const std::map<std::string, std::string>& systemProgramPaths() {
  static const std::map<std::string, std::string> paths = {
      {"sysctl", "/usr/sbin/sysctl"},
      {"uname", "/usr/bin/uname"},
      {"sw_vers", "/usr/bin/sw_vers"},
      {"xcode-select", "/usr/bin/xcode-select"},
      {"dseditgroup", "/usr/sbin/dseditgroup"},
      {"softwareupdate", "/usr/sbin/softwareupdate"},
      {"sudo", "/usr/bin/sudo"},
      {"osascript", "/usr/bin/osascript"},
      {"open", "/usr/bin/open"},
      {"installer", "/usr/sbin/installer"},
      {"java_home", "/usr/libexec/java_home"},
      {"path_helper", "/usr/libexec/path_helper"},
      {"curl", "/usr/bin/curl"},
      {"which", "/usr/bin/which"},
  };
  return paths;
}

bool isSystemPath(const std::string& p) {
  for (const char* d : {"/usr/bin/", "/usr/sbin/", "/usr/libexec/", "/bin/", "/sbin/"})
    if (p.rfind(d, 0) == 0 && p.find('/', std::strlen(d)) == std::string::npos) return true;
  return false;
}

std::string shq(const std::string& s) {
  std::string out = "'";
  for (char c : s) {
    if (c == '\'')
      out += "'\\''";
    else
      out += c;
  }
  return out + "'";
}

void writeFile(const fs::path& p, const std::string& content, mode_t mode) {
  fs::create_directories(p.parent_path());
  fs::remove(p);
  std::ofstream out(p, std::ios::binary);
  out << content;
  out.close();
  if (!out) throw ScenarioError("cannot write " + p.string());
  if (::chmod(p.c_str(), mode) != 0) throw ScenarioError("cannot chmod " + p.string());
}

std::string readFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  if (!in) throw ScenarioError("cannot read data file " + p.string());
  std::ostringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

mode_t parseMode(const json& v, mode_t fallback) {
  if (v.is_null()) return fallback;
  if (v.is_number_integer()) return static_cast<mode_t>(v.get<int>());
  const std::string s = v.get<std::string>();
  try {
    return static_cast<mode_t>(std::stoul(s, nullptr, 8));
  } catch (const std::exception&) {
    throw ScenarioError("bad mode: " + s);
  }
}

// "mtime": seconds since the epoch, "2024-05-01T10:00:00Z", or relative to now: "-36h", "-3d", "-90m".
std::time_t parseTime(const json& v) {
  if (v.is_number()) return static_cast<std::time_t>(v.get<double>());
  const std::string s = v.get<std::string>();
  if (!s.empty() && s[0] == '-') {
    const char unit = s.back();
    const double n = std::stod(s.substr(1, s.size() - 2));
    const double scale = unit == 'd' ? 86400 : unit == 'h' ? 3600 : unit == 'm' ? 60 : unit == 's' ? 1 : -1;
    if (scale < 0) throw ScenarioError("bad relative time: " + s);
    return std::time(nullptr) - static_cast<std::time_t>(n * scale);
  }
  std::tm tm{};
  if (!strptime(s.c_str(), "%Y-%m-%dT%H:%M:%S", &tm)) throw ScenarioError("bad time: " + s);
  return timegm(&tm);
}

void setMtime(const fs::path& p, std::time_t t) {
  timespec ts[2] = {{t, 0}, {t, 0}};
  if (::utimensat(AT_FDCWD, p.c_str(), ts, AT_SYMLINK_NOFOLLOW) != 0)
    throw ScenarioError("cannot set the time of " + p.string());
}

class Builder {
 public:
  Builder(const Scenario& s, const fs::path& root, const LayoutOptions& o) : s_(s), m_(s.machine), o_(o) {
    out_.root = root;
  }

  Layout run() {
    skeleton();
    tools();
    files();
    programs();
    ownership();
    return out_;
  }

 private:
  fs::path R(const std::string& p) const { return out_.root / p.substr(1); }

  std::string brewPrefix() const {
    const json tools = s_.doc.value("tools", json::object());
    if (tools.contains("homebrew") && tools["homebrew"].is_object() && tools["homebrew"].contains("prefix"))
      return tools["homebrew"]["prefix"].get<std::string>();
    return m_.arch == "arm64" ? "/opt/homebrew" : "/usr/local";
  }

  // Maps a simulated absolute path (or ~/...) to its host file below ROOT. Everything the
  // layout writes goes through here: the top-level folders themselves cannot be replaced,
  // and a path may not pass through a symlink, so a scenario can never make macsim (which
  // may run as root) write outside its own folder.
  fs::path hostPath(std::string p) const {
    if (p == "~" || p.rfind("~/", 0) == 0) p = m_.home() + p.substr(1);
    const fs::path norm = fs::path(p).lexically_normal();
    p = norm.string();
    if (p.empty() || p[0] != '/' || p.find("/..") != std::string::npos)
      throw ScenarioError("path must be absolute or start with ~/: " + p);
    for (const std::string& top :
         {m_.home(), std::string("/Applications"), std::string("/Library"), std::string("/System"), std::string("/opt"),
          std::string("/usr/local"), std::string("/tmp")}) {
      if (p == top) throw ScenarioError("a scenario cannot replace " + top);
      if (p.rfind(top + "/", 0) != 0) continue;
      fs::path cur = R(top);
      const fs::path rel = fs::path(p).lexically_relative(top);
      for (auto it = rel.begin(); it != rel.end(); ++it) {
        if (fs::is_symlink(cur)) throw ScenarioError("path goes through a symbolic link: " + p);
        cur /= *it;
      }
      return cur;
    }
    throw ScenarioError("path outside the simulated Mac: " + p);
  }

  void skeleton() {
    const std::string home = m_.home();
    for (const std::string& d :
         {home, home + "/Desktop", home + "/Documents", home + "/Downloads", home + "/Library/Caches",
          home + "/Library/Preferences", home + "/Library/Application Support", std::string("/Applications"),
          std::string("/Library"), std::string("/System/Library/CoreServices"), std::string("/opt"),
          std::string("/usr/local"), std::string("/tmp")})
      fs::create_directories(R(d));
    for (const char* d : {".macsim/programs", ".macsim/state", ".macsim/sysbin", ".macsim/fakes", "etc"})
      fs::create_directories(out_.root / d);
    fs::copy_file(MACSIM_DISK_LIBRARY, out_.root / ".macsim/disk_space.so", fs::copy_options::overwrite_existing);
    writeFile(out_.root / ".macsim/disk_free_bytes", std::to_string(m_.diskFreeBytes) + "\n", 0644);

    writeFile(R("/System/Library/CoreServices/SystemVersion.plist"),
              "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
              "<!DOCTYPE plist PUBLIC \"-//Apple//DTD PLIST 1.0//EN\" "
              "\"http://www.apple.com/DTDs/PropertyList-1.0.dtd\">\n"
              "<plist version=\"1.0\">\n<dict>\n"
              "\t<key>BuildID</key>\n\t<string>" +
                  m_.build +
                  "</string>\n"
                  "\t<key>ProductBuildVersion</key>\n\t<string>" +
                  m_.build +
                  "</string>\n"
                  "\t<key>ProductCopyright</key>\n\t<string>1983-2024 Apple Inc.</string>\n"
                  "\t<key>ProductName</key>\n\t<string>macOS</string>\n"
                  "\t<key>ProductUserVisibleVersion</key>\n\t<string>" +
                  m_.macos +
                  "</string>\n"
                  "\t<key>ProductVersion</key>\n\t<string>" +
                  m_.macos +
                  "</string>\n"
                  "</dict>\n</plist>\n",
              0644);

    const std::string uid = std::to_string(m_.uid), gid = std::to_string(m_.gid);
    writeFile(out_.root / "etc/passwd",
              "root:*:0:0:System Administrator:/var/root:/bin/sh\n" + m_.user + ":*:" + uid + ":" + gid + ":" +
                  m_.fullName + ":" + home + ":/bin/zsh\n" +
                  "nobody:*:65534:65534:Unprivileged User:/var/empty:/usr/bin/false\n",
              0644);
    writeFile(out_.root / "etc/group",
              "wheel:*:0:root\neveryone:*:12:\nstaff:*:20:root\nlocalaccounts:*:61:\nadmin:*:80:root" +
                  std::string(m_.admin ? "," + m_.user : "") + "\nnogroup:*:65534:\n",
              0644);
    // macOS's /etc/profile and /etc/zprofile: login shells start from path_helper's PATH.
    const std::string pathHelper =
        "if [ -x /usr/libexec/path_helper ]; then\n\teval `/usr/libexec/path_helper -s`\nfi\n";
    writeFile(out_.root / "etc/profile", "# System-wide .profile for sh(1)\n\n" + pathHelper, 0644);
    writeFile(out_.root / "etc/zprofile", "# System-wide profile for interactive zsh(1) login shells.\n\n" + pathHelper,
              0644);

    std::ostringstream env;
    env << "MACSIM_ARCH=" << m_.arch << "\nMACSIM_MACOS=" << m_.macos << "\nMACSIM_BUILD=" << m_.build
        << "\nMACSIM_DARWIN=" << m_.darwinRelease() << "\nMACSIM_USER=" << m_.user
        << "\nMACSIM_FULLNAME=" << shq(m_.fullName) << "\nMACSIM_HOSTNAME=" << shq(m_.hostname)
        << "\nMACSIM_UID=" << m_.uid << "\nMACSIM_ADMIN=" << (m_.admin ? 1 : 0)
        << "\nMACSIM_PASSWORD=" << shq(m_.password) << "\nMACSIM_DIALOG=" << m_.dialog
        << "\nMACSIM_DIALOG_ANSWER=" << shq(m_.dialogAnswer) << "\nMACSIM_ONLINE=" << (m_.online ? 1 : 0)
        << "\nMACSIM_BREW_PREFIX_DEFAULT=" << (m_.arch == "arm64" ? "/opt/homebrew" : "/usr/local")
        << "\nMACSIM_SCENARIO=" << shq(s_.name) << "\n";
    writeFile(out_.root / ".macsim/machine.env", env.str(), 0644);
  }

  // Installed tools are laid out by the same shell functions the fakes use when they install
  // them inside the sandbox (fakes/lib/tools.sh), so both give identical trees.
  void tools() {
    const json t = s_.doc.value("tools", json::object());
    std::ostringstream sh;
    if (t.value("command_line_tools", false)) sh << "install_clt\n";
    std::string brewCache;
    if (t.contains("homebrew") && !t["homebrew"].is_null() && t["homebrew"] != false) {
      const json hb = t["homebrew"].is_object() ? t["homebrew"] : json::object();
      const std::string prefix = brewPrefix();
      sh << "install_homebrew " << shq(prefix) << "\n";
      for (const auto& f : hb.value("formulae", json::array()))
        sh << "brew_formula " << shq(prefix) << " " << shq(f.get<std::string>()) << "\n";
      for (const auto& c : hb.value("casks", json::array()))
        sh << "brew_cask " << shq(prefix) << " " << shq(c.get<std::string>()) << "\n";
      if (hb.contains("index_age")) brewCache = hb["index_age"].dump();
    }
    // A second Homebrew (an Intel one kept beside the native one, say).
    for (const auto& hb : t.value("extra_homebrews", json::array())) {
      const std::string prefix = hb.at("prefix").get<std::string>();
      sh << "install_homebrew " << shq(prefix) << "\n";
      for (const auto& f : hb.value("formulae", json::array()))
        sh << "brew_formula " << shq(prefix) << " " << shq(f.get<std::string>()) << "\n";
    }
    if (t.contains("uv_python")) {
      const json up = t["uv_python"];
      const bool isDefault = up.value("default", true);
      for (const auto& v : up.value("versions", json::array()))
        sh << "uv_python " << shq(v.get<std::string>()) << (isDefault ? " default" : "") << "\n";
    }
    for (const auto& p : t.value("pythons", json::array())) {
      const std::string path = p.at("path").get<std::string>();
      sh << "python_interp " << shq(simPath(path)) << " " << shq(p.at("version").get<std::string>()) << "\n";
      for (const auto& l : p.value("links", json::array()))
        sh << "link_file " << shq(simPath(path)) << " " << shq(simPath(l.get<std::string>())) << "\n";
    }
    for (const auto& a : t.value("apps", json::array()))
      sh << "install_app " << shq(simPath(a.get<std::string>())) << "\n";
    for (const auto& j : t.value("jdks", json::array()))
      sh << "install_jdk " << shq(j.at("folder").get<std::string>()) << " " << shq(j.at("version").get<std::string>())
         << " " << shq(j.value("vendor", "Eclipse Adoptium")) << "\n";
    const std::string script = sh.str();
    if (!script.empty()) runToolScript(script);
    if (!brewCache.empty()) {
      const fs::path f = R(m_.home() + "/Library/Caches/Homebrew/api/formula.jws.json");
      if (fs::exists(f)) setMtime(f, parseTime(json::parse(brewCache)));
    }
  }

  // "~/x" -> "/Users/<user>/x"; absolute paths unchanged (checked by hostPath).
  std::string simPath(const std::string& p) const {
    std::string s = p;
    if (s.rfind("/Applications/", 0) != 0 && s.find('/') == std::string::npos) s = "/Applications/" + s;
    if (s == "~" || s.rfind("~/", 0) == 0) s = m_.home() + s.substr(1);
    (void)hostPath(s);
    return s;
  }

  // Runs tools.sh in its emitting mode and applies the records it prints: "d PATH",
  // "f PATH MODE CONTENT", "l TARGET PATH" (NUL-separated; paths are the Mac's own).
  // Runs tools.sh in its emitting mode and returns what it printed.
  std::string emitRecords(const std::string& script) {
    int fds[2];
    if (::pipe(fds) != 0) throw ScenarioError("pipe failed");
    const pid_t pid = ::fork();
    if (pid < 0) throw ScenarioError("fork failed");
    if (pid == 0) {
      ::dup2(fds[1], 1);
      ::close(fds[0]);
      ::close(fds[1]);
      ::setenv("MACSIM_EMIT", "1", 1);
      ::setenv("MACSIM_ARCH", m_.arch.c_str(), 1);
      ::setenv("MACSIM_HOME", m_.home().c_str(), 1);
      ::setenv("MACSIM_FAKES", "/.macsim/fakes", 1);
      ::setenv("MACSIM_FAKES_HOST", o_.fakesDir.c_str(), 1);
      ::execl("/bin/bash", "bash", "--norc", "--noprofile", "-c", script.c_str(), static_cast<char*>(nullptr));
      ::_exit(127);
    }
    ::close(fds[1]);
    std::string out;
    char buf[65536];
    for (;;) {
      const ssize_t n = ::read(fds[0], buf, sizeof buf);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) break;
      out.append(buf, static_cast<size_t>(n));
    }
    ::close(fds[0]);
    int status = 0;
    while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
    }
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0)
      throw ScenarioError("laying out the scenario's tools failed (fakes/lib/tools.sh)");
    return out;
  }

  // The records depend only on the script, the library and which fakes exist, so they are
  // kept in the cache folder: laying out a scenario then starts no process at all.
  std::string cachedRecords(const std::string& script, const std::string& lib) {
    if (o_.cacheDir.empty()) return emitRecords(script);
    std::string key = script + "\n" + readFile(lib) + "\n" + m_.arch + m_.home() + o_.fakesDir.string();
    std::error_code ec;
    for (const auto& e : fs::directory_iterator(o_.fakesDir, ec)) key += "\n" + e.path().filename().string();
    char name[32];
    std::snprintf(name, sizeof name, "%016zx.rec", std::hash<std::string>{}(key));
    const fs::path file = o_.cacheDir / name;
    std::ifstream in(file, std::ios::binary);
    if (in) {
      std::ostringstream ss;
      ss << in.rdbuf();
      return ss.str();
    }
    std::string out = emitRecords(script);
    fs::create_directories(o_.cacheDir, ec);
    const fs::path tmp = file.string() + "." + std::to_string(::getpid());
    {
      std::ofstream o(tmp, std::ios::binary);
      o << out;
    }
    fs::rename(tmp, file, ec);
    if (ec) fs::remove(tmp, ec);
    return out;
  }

  void runToolScript(const std::string& body) {
    const std::string lib = (o_.fakesDir / "lib/tools.sh").string();
    const std::string script = "set -e\n. " + shq(lib) + "\n" + body;
    const std::string out = cachedRecords(script, lib);
    size_t pos = 0;
    auto field = [&]() {
      const size_t end = out.find('\0', pos);
      if (end == std::string::npos) throw ScenarioError("tools.sh printed a truncated record");
      std::string f = out.substr(pos, end - pos);
      pos = end + 1;
      return f;
    };
    while (pos < out.size()) {
      const std::string kind = field();
      if (kind == "d") {
        fs::create_directories(hostPath(field()));
      } else if (kind == "f") {
        const fs::path p = hostPath(field());
        const mode_t mode = parseMode(json(field()), 0644);
        writeFile(p, field(), mode);
      } else if (kind == "l") {
        const std::string target = field();
        const fs::path p = hostPath(field());
        fs::create_directories(p.parent_path());
        fs::remove(p);
        fs::create_symlink(target, p);
      } else {
        throw ScenarioError("tools.sh printed an unknown record: " + kind);
      }
    }
  }

  void files() {
    for (const auto& f : s_.doc.value("files", json::array())) {
      const std::string sim = f.at("path").get<std::string>();
      const fs::path p = hostPath(sim);
      if (f.contains("symlink")) {
        fs::create_directories(p.parent_path());
        fs::remove(p);
        fs::create_symlink(f["symlink"].get<std::string>(), p);
      } else if (f.value("dir", false)) {
        fs::create_directories(p);
        ::chmod(p.c_str(), parseMode(f.value("mode", json()), 0755));
      } else {
        std::string content;
        if (f.contains("content"))
          content = f["content"].get<std::string>();
        else if (f.contains("lines"))
          for (const auto& l : f["lines"]) content += l.get<std::string>() + "\n";
        else if (f.contains("from"))
          content = readFile(f["from"].get<std::string>());
        writeFile(p, content, parseMode(f.value("mode", json()), 0644));
      }
      if (f.contains("mtime")) setMtime(p, parseTime(f["mtime"]));
    }
  }

  void programs() {
    for (const auto& [name, path] : systemProgramPaths())
      if (name != "which" && fs::exists(o_.fakesDir / name)) out_.systemPrograms[path] = o_.fakesDir / name;

    const json progs = s_.doc.value("programs", json::object());
    for (const auto& [name, prog] : progs.items()) {
      const bool hasBehaviour =
          prog.contains("answers") || prog.contains("script") || prog.contains("script_file") || prog.contains("fake");
      std::string path = prog.value("path", "");
      if (path.empty()) {
        auto it = systemProgramPaths().find(name);
        if (it != systemProgramPaths().end())
          path = it->second;
        else if (name == "brew")
          path = brewPrefix() + "/bin/brew";
        // Options alone need no path: they reach a fake that another tool installs
        // (`brew install gh`).
        else if (hasBehaviour || prog.value("absent", false))
          throw ScenarioError("programs." + name + " needs a \"path\"");
      }
      if (prog.contains("options")) {
        std::ostringstream env;
        for (const auto& [k, v] : prog["options"].items()) {
          std::string key;
          for (char c : k) key += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
          env << "MACSIM_OPT_" << key << "=" << shq(v.is_string() ? v.get<std::string>() : v.dump()) << "\n";
        }
        writeFile(out_.root / ".macsim/programs" / (name + ".env"), env.str(), 0644);
      }
      if (prog.value("absent", false)) {
        if (isSystemPath(path)) {
          out_.systemPrograms.erase(path);
          out_.absent.insert(path);
        } else {
          fs::remove(hostPath(path));
        }
        continue;
      }
      if (!hasBehaviour) continue;
      const std::string wrapper = wrapperScript(name, path, prog);
      if (isSystemPath(path)) {
        const fs::path file = out_.root / ".macsim/sysbin" / path.substr(1);
        writeFile(file, wrapper, 0755);
        out_.systemPrograms[path] = file;
      } else {
        writeFile(hostPath(path), wrapper, 0755);
      }
    }
  }

  // A bash script that answers canned argument lists first, then runs the scenario's script
  // body, or hands over to the stateful fake of that name.
  std::string wrapperScript(const std::string& name, const std::string& path, const json& prog) {
    std::ostringstream w;
    w << "#!/bin/bash\n# " << path << " for scenario " << s_.name << " (generated by macsim)\n"
      << "export MACSIM_PROG=" << shq(name) << "\n";
    if (name == "brew")
      w << "export MACSIM_BREW_PREFIX=" << shq(fs::path(path).parent_path().parent_path().string()) << "\n";
    const fs::path dataDir = out_.root / ".macsim/programs" / (name + ".d");
    const std::string simData = "/.macsim/programs/" + name + ".d";
    if (prog.contains("answers")) {
      w << "__macsim_answer() { [ -n \"$4\" ] && sleep \"$4\"; cat \"$1\"; cat \"$2\" >&2; exit \"$3\"; }\n";
      int i = 0;
      for (const auto& a : prog["answers"]) {
        const std::string out =
            a.contains("stdout_file") ? readFile(a["stdout_file"].get<std::string>()) : a.value("stdout", "");
        const std::string err =
            a.contains("stderr_file") ? readFile(a["stderr_file"].get<std::string>()) : a.value("stderr", "");
        const std::string base = std::to_string(i++);
        writeFile(dataDir / (base + ".out"), out, 0644);
        writeFile(dataDir / (base + ".err"), err, 0644);
        std::string cond = "true";
        if (a.contains("args")) {
          const json args = a["args"];
          cond = "[ $# -eq " + std::to_string(args.size()) + " ]";
          int n = 1;
          for (const auto& arg : args)
            cond += " && [ \"${" + std::to_string(n++) + "}\" = " + shq(arg.get<std::string>()) + " ]";
        }
        std::ostringstream delay;
        if (a.contains("delay")) delay << a["delay"].get<double>();
        w << "if " << cond << "; then __macsim_answer " << simData << "/" << base << ".out " << simData << "/" << base
          << ".err " << a.value("exit", 0) << " " << shq(delay.str()) << "; fi\n";
      }
    }
    if (prog.contains("script") || prog.contains("script_file")) {
      w << (prog.contains("script") ? prog["script"].get<std::string>()
                                    : readFile(prog["script_file"].get<std::string>()))
        << "\n";
    } else {
      const std::string fake = prog.value("fake", name);
      if (fs::exists(o_.fakesDir / fake))
        w << "exec /.macsim/fakes/" << fake << " \"$@\"\n";
      else
        w << "echo \"" << name << ": the scenario has no answer for: $*\" >&2\nexit 1\n";
    }
    return w.str();
  }

  static void chownTree(const fs::path& p, int uid, int gid) {
    std::error_code ec;
    ::lchown(p.c_str(), uid, gid);
    if (!fs::is_directory(fs::symlink_status(p))) return;
    for (auto it = fs::recursive_directory_iterator(p, ec); !ec && it != fs::recursive_directory_iterator();
         it.increment(ec))
      ::lchown(it->path().c_str(), uid, gid);
  }

  static void removeWriteBits(const fs::path& p) {
    ::nftw(
        p.c_str(),
        [](const char* fpath, const struct stat* st, int type, struct FTW*) {
          if (type != FTW_SL) ::chmod(fpath, st->st_mode & 07555);
          return 0;
        },
        32, FTW_PHYS);
  }

  // Who may write where, as on a Mac: the user owns HOME (and Homebrew's folders), the admin
  // group may write /Applications, and /Library, /System, /opt and /usr/local are closed to
  // the user. Those closed folders still belong to the user's uid on the host, with no write
  // bits, so that the fake sudo (a user namespace mapping that uid to root) can write them.
  void ownership() {
    const fs::path& r = out_.root;
    if (o_.rootMode) {
      chownTree(r, m_.uid, m_.gid);
      chownTree(r / "System", kRootUid, 0);
      chownTree(r / "etc", kRootUid, 0);
      chownTree(r / ".macsim", kRootUid, 0);
      chownTree(r / ".macsim/state", m_.uid, m_.gid);
      ::lchown((r / "Applications").c_str(), kRootUid, kAdminGid);
      ::lchown((r / "tmp").c_str(), kRootUid, 0);
      ::lchown(r.c_str(), kRootUid, 0);
    }
    ::chmod((r / "Applications").c_str(), 0775);
    ::chmod((r / "tmp").c_str(), 01777);
    removeWriteBits(r / "Library");
    removeWriteBits(r / "System");
    ::chmod((r / "opt").c_str(), 0555);
    ::chmod((r / "usr/local").c_str(), 0555);
    ::chmod((r / "usr").c_str(), 0555);
  }

  const Scenario& s_;
  const Machine& m_;
  const LayoutOptions& o_;
  Layout out_;
};

}  // namespace

Layout layOut(const Scenario& scenario, const fs::path& root, const LayoutOptions& options) {
  return Builder(scenario, root, options).run();
}

void removeTree(const fs::path& root) {
  if (!fs::exists(fs::symlink_status(root))) return;
  // Directories without write bits cannot be emptied by a non-root caller: open them first.
  ::nftw(
      root.c_str(),
      [](const char* fpath, const struct stat* st, int type, struct FTW*) {
        if (type == FTW_D || type == FTW_DP || type == FTW_DNR) ::chmod(fpath, (st->st_mode & 07777) | 0700);
        return 0;
      },
      32, FTW_PHYS);
  std::error_code ec;
  fs::remove_all(root, ec);
}

}  // namespace macsim
