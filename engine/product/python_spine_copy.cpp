#include "engine/product/python_spine_copy.h"

#include "engine/workflow/domain.h"

namespace bnch {

namespace {

constexpr const char* kBrewNotOnPathHeadline = "Homebrew is installed, but your shell can't find it";
constexpr const char* kBrewWrongChipHeadline = "Homebrew is installed for the wrong chip";

}  // namespace

std::optional<SpineScreenCopy> PythonSpineCopy::screenCopy(const std::string& domain,
                                                           const std::optional<SetupDiagnosis>& diagnosis) const {
  if (domain == Domain::clt) {
    if (diagnosis && diagnosis->headline == sharedCopy_.cltNotAdmin.headline) {
      return SpineScreenCopy{"Command Line Tools", diagnosis->headline, diagnosis->detail, std::nullopt};
    }
    return SpineScreenCopy{"Command Line Tools", "Install the Command Line Tools",
                           "Apple's Command Line Tools are the basics needed for all software development. This can "
                           "take many minutes; we'll continue automatically when it finishes.",
                           std::nullopt};
  }
  if (domain == Domain::homebrew) {
    if (diagnosis && (diagnosis->headline == kBrewNotOnPathHeadline || diagnosis->headline == kBrewWrongChipHeadline)) {
      return SpineScreenCopy{"Homebrew package manager", diagnosis->headline, diagnosis->detail, std::nullopt};
    }
    return SpineScreenCopy{"Homebrew package manager", "Install Homebrew",
                           "This installs Homebrew, the macOS package manager, and makes sure it can be found on your "
                           "command PATH.",
                           std::nullopt};
  }
  if (domain == Domain::warp) {
    return SpineScreenCopy{"The terminal", "Install Warp, a better terminal",
                           "Warp is a fast terminal with AI to help learn and remember commands. Quillora recommends "
                           "it.",
                           std::nullopt};
  }
  if (domain == Domain::python) {
    return SpineScreenCopy{"Python", "Install Python with uv",
                           "This app will add one line to your shell configuration so the `python` command works in a "
                           "new terminal window.",
                           std::nullopt};
  }
  if (domain == Domain::pythonProject) {
    return SpineScreenCopy{"Example project", "Install a Python example project?",
                           "This app will add a small example project to your Documents folder so you can see how to "
                           "start. An AI agent can show you what to do.",
                           std::nullopt};
  }
  return std::nullopt;
}

std::string PythonSpineCopy::summaryLine(const std::string& domain, const SetupDiagnosis& diagnosis) const {
  std::string label = domain;
  if (domain == Domain::clt) {
    label = "Command Line Tools";
  } else if (domain == Domain::shellConfig) {
    label = "Shell configuration";
  } else if (domain == Domain::homebrew) {
    label = "Homebrew";
  } else if (domain == Domain::warp) {
    label = "Warp";
  } else if (domain == Domain::python) {
    label = "Python";
  } else if (domain == Domain::git) {
    label = "Git and GitHub";
  }

  std::string status;
  if (domain == Domain::homebrew && diagnosis.headline == kBrewNotOnPathHeadline) {
    status = "installed, not on PATH";
  } else if (domain == Domain::homebrew && diagnosis.headline == kBrewWrongChipHeadline) {
    status = "installed for the wrong chip";
  } else {
    switch (diagnosis.classification) {
      case SetupDiagnosisClassification::ready:
        status = "installed";
        break;
      case SetupDiagnosisClassification::fixable:
        status = "not installed";
        break;
      case SetupDiagnosisClassification::blocked:
        status = "needs attention";
        break;
      case SetupDiagnosisClassification::unknown:
        status = "unknown";
        break;
    }
  }
  return label + ": " + status;
}

}  // namespace bnch
