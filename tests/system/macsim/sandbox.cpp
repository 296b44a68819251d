#include "sandbox.h"

#include <dirent.h>
#include <signal.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <set>
#include <stdexcept>

namespace macsim {
namespace fs = std::filesystem;

namespace {

// Names macOS keeps in /bin and /sbin; Debian's other programs stay in /usr/bin and /usr/sbin,
// so that `which -a` lists each program once, as on a Mac.
const std::set<std::string> kMacBin = {
    "[",        "bash",  "cat",  "chmod", "cp",   "dash",   "date", "dd",  "df",  "echo",     "ed",       "expr",
    "hostname", "kill",  "link", "ln",    "ls",   "mkdir",  "mv",   "ps",  "pwd", "realpath", "rm",       "rmdir",
    "sh",       "sleep", "stty", "sync",  "test", "unlink", "zsh",  "csh", "ksh", "tcsh",     "launchctl"};
const std::set<std::string> kMacSbin = {"dmesg",   "fsck", "halt",   "ifconfig", "mknod",    "mount",
                                        "nologin", "ping", "reboot", "route",    "shutdown", "umount"};

constexpr const char* kHost = "/.host";
constexpr const char* kFarmDirs[] = {"/usr/bin", "/usr/sbin", "/usr/libexec", "/bin", "/sbin"};

struct FarmLink {
  std::string target;  // /.host/usr/bin/NAME
  std::string where;   // /usr/bin/NAME, or /bin/NAME for names macOS keeps in /bin
};

// One link per host program, except where a fake sits or the scenario removed the program.
std::vector<FarmLink> farmLinks(const Layout& l) {
  std::set<std::string> taken;
  for (const auto& [p, _] : l.systemPrograms) taken.insert(p);
  for (const auto& p : l.absent) taken.insert(p);
  std::vector<FarmLink> links;
  for (const char* d : {"/usr/bin", "/usr/sbin", "/usr/libexec"}) {
    DIR* dir = ::opendir(d);
    if (!dir) continue;
    const bool isBin = std::strcmp(d, "/usr/bin") == 0, isSbin = std::strcmp(d, "/usr/sbin") == 0;
    while (const dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name == "." || name == "..") continue;
      std::string where = std::string(d) + "/" + name;
      if (isBin && kMacBin.count(name))
        where = "/bin/" + name;
      else if ((isSbin || isBin) && kMacSbin.count(name))
        where = "/sbin/" + name;
      if (!taken.insert(where).second) continue;
      links.push_back({std::string(kHost) + d + "/" + name, where});
    }
    ::closedir(dir);
  }
  std::sort(links.begin(), links.end(), [](const FarmLink& x, const FarmLink& y) { return x.where < y.where; });
  return links;
}

// A farm built once as real folders in the cache and bound read-only: five binds instead of
// ~1500 symlink operations per start. Fakes are bound onto empty placeholder files in it.
// Returns an empty path when the cache cannot be used.
fs::path cachedFarm(const fs::path& cacheDir, const std::vector<FarmLink>& links, const Layout& l) {
  std::string key;
  for (const auto& link : links) key += link.target + " " + link.where + "\n";
  for (const auto& [p, _] : l.systemPrograms) key += "fake " + p + "\n";
  char name[40];
  std::snprintf(name, sizeof name, "farm-%016zx", std::hash<std::string>{}(key));
  const fs::path farm = cacheDir / name;
  std::error_code ec;
  if (fs::is_directory(farm, ec)) return farm;
  const fs::path tmp = cacheDir / (std::string(name) + ".tmp" + std::to_string(::getpid()));
  try {
    fs::create_directories(cacheDir);
    fs::remove_all(tmp, ec);
    for (const char* d : kFarmDirs) {
      fs::create_directories(tmp / (d + 1));
      ::chmod((tmp / (d + 1)).c_str(), 0755);
    }
    ::chmod(tmp.c_str(), 0755);
    ::chmod((tmp / "usr").c_str(), 0755);
    for (const auto& link : links) fs::create_symlink(link.target, tmp / link.where.substr(1));
    for (const auto& [p, _] : l.systemPrograms) {
      const fs::path placeholder = tmp / p.substr(1);
      std::ofstream(placeholder).close();
      ::chmod(placeholder.c_str(), 0755);
    }
    fs::rename(tmp, farm, ec);  // another run may have won the race: use its farm
    if (ec) fs::remove_all(tmp, ec);
    return fs::is_directory(farm, ec) ? farm : fs::path();
  } catch (const fs::filesystem_error&) {
    fs::remove_all(tmp, ec);
    return {};
  }
}

void addParents(std::vector<std::string>& a, const fs::path& p) {
  fs::path cur = "/";
  for (const auto& part : p.parent_path().relative_path()) {
    cur /= part;
    a.insert(a.end(), {"--dir", cur.string()});
  }
}

volatile sig_atomic_t gChild = 0;

void forward(int sig) {
  if (gChild > 0) ::kill(static_cast<pid_t>(gChild), sig);
}

}  // namespace

std::map<std::string, std::string> sandboxEnvironment(const Scenario& s, const SandboxOptions& o) {
  const Machine& m = s.machine;
  // What launchd gives an app started from the Finder or the Dock: no shell start-up files
  // have run, so PATH is the bare system default.
  std::map<std::string, std::string> env = {
      {"HOME", m.home()},
      {"USER", m.user},
      {"LOGNAME", m.user},
      {"SHELL", "/bin/zsh"},
      {"PATH", "/usr/bin:/bin:/usr/sbin:/sbin"},
      {"TMPDIR", "/tmp/"},
      {"LANG", "C.UTF-8"},
      {"__CF_USER_TEXT_ENCODING", "0x1F5:0x0:0x0"},
      {"BNCH_TELEMETRY_DISABLED", "1"},
      // Qt on Linux opens web addresses with the program BROWSER names (when there is
      // no xdg-open): here macOS's `open`, as LaunchServices would.
      {"BROWSER", "/usr/bin/open"},
  };
  // Free disk space is the scenario's (disk_space_preload.cpp), whatever the host has.
  env["LD_PRELOAD"] = "/.macsim/disk_space.so";
  if (o.interactive) {
    const char* term = std::getenv("TERM");
    env["TERM"] = term && *term ? term : "xterm-256color";
  }
  for (const auto& [k, v] : s.env) env[k] = v;
  for (const auto& [k, v] : o.env) env[k] = v;
  for (auto it = env.begin(); it != env.end();) it = it->second.empty() ? env.erase(it) : std::next(it);
  return env;
}

std::vector<std::string> bwrapArguments(const Scenario& s, const Layout& l, const SandboxOptions& o) {
  const Machine& m = s.machine;
  const fs::path& r = l.root;
  std::vector<std::string> a = {"--die-with-parent", "--unshare-pid", "--unshare-ipc",
                                "--unshare-uts",     "--hostname",    m.hostname};
  if (!o.interactive) a.push_back("--new-session");
  a.push_back("--clearenv");
  for (const auto& [k, v] : sandboxEnvironment(s, o)) a.insert(a.end(), {"--setenv", k, v});

  a.insert(a.end(), {"--ro-bind", "/usr", "/usr", "--symlink", "usr/lib", "/lib"});
  for (const char* lib : {"lib64", "lib32"})
    if (fs::exists(std::string("/usr/") + lib))
      a.insert(a.end(), {"--symlink", std::string("usr/") + lib, std::string("/") + lib});
  a.insert(a.end(), {"--ro-bind", "/etc", "/etc", "--proc", "/proc", "--dev", "/dev"});
  for (const char* f : {"passwd", "group", "profile"})
    a.insert(a.end(), {"--ro-bind", (r / "etc" / f).string(), std::string("/etc/") + f});
  if (fs::exists("/etc/zsh/zprofile"))
    a.insert(a.end(), {"--ro-bind", (r / "etc/zprofile").string(), "/etc/zsh/zprofile"});
  // Debian's first-run wizard for zsh would otherwise greet every interactive shell.
  std::error_code ec;
  for (const auto& e : fs::directory_iterator("/usr/share/zsh", ec)) {
    const fs::path nu = e.path() / "scripts/newuser";
    if (fs::exists(nu)) a.insert(a.end(), {"--ro-bind", "/dev/null", nu.string()});
  }

  // /usr/bin, /usr/sbin, /usr/libexec, /bin and /sbin are "farms" of symlinks into a second
  // read-only view of the host's /usr, so fakes can sit at any path in them.
  a.insert(a.end(), {"--dir", kHost, "--ro-bind", "/usr", std::string(kHost) + "/usr"});
  const std::vector<FarmLink> links = farmLinks(l);
  const fs::path farm = o.cacheDir.empty() ? fs::path() : cachedFarm(o.cacheDir, links, l);
  if (!farm.empty()) {
    for (const char* d : kFarmDirs) a.insert(a.end(), {"--ro-bind", (farm / (d + 1)).string(), d});
    for (const auto& [p, host] : l.systemPrograms) a.insert(a.end(), {"--ro-bind", host.string(), p});
  } else {
    for (const char* d : kFarmDirs) a.insert(a.end(), {"--tmpfs", d});
    for (const auto& link : links) a.insert(a.end(), {"--symlink", link.target, link.where});
    for (const auto& [p, host] : l.systemPrograms) a.insert(a.end(), {"--ro-bind", host.string(), p});
    for (const char* d : kFarmDirs) a.insert(a.end(), {"--remount-ro", d});
  }

  // The Mac's own tree. Writable binds; the folders themselves decide who may write (layout.h).
  a.insert(a.end(), {"--dir", "/Users", "--bind", (r / "Users" / m.user).string(), m.home()});
  for (const char* d : {"/Applications", "/Library", "/usr/local", "/opt", "/tmp"})
    a.insert(a.end(), {"--bind", (r / (d + 1)).string(), d});
  a.insert(a.end(), {"--ro-bind", (r / "System").string(), "/System"});
  a.insert(a.end(), {"--dir", "/private", "--symlink", "../tmp", "/private/tmp"});
  a.insert(a.end(), {"--dir", "/.macsim", "--ro-bind", (r / ".macsim").string(), "/.macsim"});
  a.insert(a.end(), {"--bind", (r / ".macsim/state").string(), "/.macsim/state"});
  a.insert(a.end(), {"--ro-bind", o.fakesDir.string(), "/.macsim/fakes"});

  for (const auto& p : o.readOnly) {
    const fs::path c = fs::weakly_canonical(p);
    addParents(a, c);
    a.insert(a.end(), {"--ro-bind", c.string(), c.string()});
  }
  for (const auto& p : o.readWrite) {
    const fs::path c = fs::weakly_canonical(p);
    addParents(a, c);
    a.insert(a.end(), {"--bind", c.string(), c.string()});
  }
  a.insert(a.end(), {"--chdir", m.home(), "--remount-ro", "/"});
  if (!o.rootMode)
    a.insert(a.end(),
             {"--unshare-user", "--uid", std::to_string(m.uid), "--gid", std::to_string(m.gid), "--cap-drop", "ALL"});
  return a;
}

int runSandboxed(const Scenario& s, const Layout& l, const SandboxOptions& o, const std::vector<std::string>& command) {
  const std::vector<std::string> args = bwrapArguments(s, l, o);
  // The list is ~90 KB, more than a pipe holds; a memfd is read by bwrap at its own pace.
  const int fd = ::memfd_create("macsim-bwrap-args", 0);
  if (fd < 0) throw std::runtime_error(std::string("memfd_create: ") + std::strerror(errno));
  std::string blob;
  for (const auto& x : args) {
    blob += x;
    blob.push_back('\0');
  }
  for (size_t off = 0; off < blob.size();) {
    const ssize_t n = ::write(fd, blob.data() + off, blob.size() - off);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) throw std::runtime_error(std::string("write args: ") + std::strerror(errno));
    off += static_cast<size_t>(n);
  }
  ::lseek(fd, 0, SEEK_SET);

  std::vector<std::string> argv = {"bwrap", "--args", std::to_string(fd), "--"};
  if (o.rootMode) {
    const Machine& m = s.machine;
    std::string groups = std::to_string(m.gid) + ",12,61" + (m.admin ? ",80" : "");
    argv.insert(argv.end(), {std::string(kHost) + "/usr/bin/setpriv", "--reuid=" + std::to_string(m.uid),
                             "--regid=" + std::to_string(m.gid), "--groups=" + groups, "--inh-caps=-all",
                             "--bounding-set=-all", "--"});
  }
  argv.insert(argv.end(), command.begin(), command.end());
  std::vector<char*> cargv;
  for (auto& x : argv) cargv.push_back(x.data());
  cargv.push_back(nullptr);

  struct sigaction sa {};
  sa.sa_handler = o.interactive ? SIG_IGN : &forward;
  sigemptyset(&sa.sa_mask);
  struct sigaction oldInt {
  }, oldTerm{}, oldHup{};
  ::sigaction(SIGINT, &sa, &oldInt);
  ::sigaction(SIGTERM, &sa, &oldTerm);
  ::sigaction(SIGHUP, &sa, &oldHup);

  const pid_t pid = ::fork();
  if (pid < 0) throw std::runtime_error(std::string("fork: ") + std::strerror(errno));
  if (pid == 0) {
    ::signal(SIGINT, SIG_DFL);
    ::signal(SIGTERM, SIG_DFL);
    ::signal(SIGHUP, SIG_DFL);
    ::execvp("bwrap", cargv.data());
    std::fprintf(stderr, "macsim: cannot start bwrap: %s\n", std::strerror(errno));
    ::_exit(127);
  }
  gChild = pid;
  ::close(fd);
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0 && errno == EINTR) {
  }
  gChild = 0;
  ::sigaction(SIGINT, &oldInt, nullptr);
  ::sigaction(SIGTERM, &oldTerm, nullptr);
  ::sigaction(SIGHUP, &oldHup, nullptr);
  if (WIFEXITED(status)) return WEXITSTATUS(status);
  if (WIFSIGNALED(status)) return 128 + WTERMSIG(status);
  return 1;
}

}  // namespace macsim
