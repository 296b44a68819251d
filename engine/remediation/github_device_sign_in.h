#pragma once

#include <optional>
#include <string>
#include <string_view>

namespace bnch {

// Reads the lines `gh auth login --web` prints and picks out the one-time code and
// the device sign-in address, in whichever order they come.
//
// gh has printed this in several ways over the years, among them
//   "! First copy your one-time code: B39F-XXXX"
//   "Press Enter to open github.com in your browser..."
//   "Press Enter to open https://github.com/login/device in your browser..."
//   "Open this URL to continue in your web browser: https://github.com/login/device"
// A line that names the address asks for the browser once, with the code found so
// far (none when the address came first). The older wording that only says
// "open github.com in your browser" names no address; it asks for the device page,
// which is where gh itself sends the browser.
class GitHubDeviceSignInScanner {
 public:
  struct BrowserRequest {
    std::string url;
    std::optional<std::string> code;

    bool operator==(const BrowserRequest&) const = default;
  };

  // Looks at one output line; answers the browser request the first time an
  // address is seen, nothing otherwise (also for every later address).
  std::optional<BrowserRequest> scan(std::string_view line);

  // The first one-time code seen on a line that mentions a code.
  const std::optional<std::string>& code() const { return code_; }

 private:
  std::optional<std::string> code_;
  bool browserRequested_ = false;
};

// What the GitHub jobs run and show.
struct GitHubText {
  static constexpr std::string_view host = "github.com";
  static constexpr std::string_view deviceAddress = "https://github.com/login/device";
  static constexpr std::string_view loginCommand =
      "gh auth login --web --git-protocol https --hostname github.com --skip-ssh-key";
  static constexpr std::string_view statusCommand = "gh auth status >/dev/null 2>&1";
  static constexpr std::string_view setupGitCommand = "gh auth setup-git";
  static constexpr std::string_view starting = "Starting GitHub sign-in…";
  static constexpr std::string_view signedIn = "Signed in to GitHub. Git is ready — pushes won't ask for a password.";
  static constexpr std::string_view notCompleted =
      "GitHub sign-in not completed. You can finish anytime by running `gh auth login` in your "
      "terminal.";
};

}  // namespace bnch
