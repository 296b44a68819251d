// bnch-writers-driver: runs one of the engine's file writers against this
// machine's real home folder and prints its progress lines, so that system tests
// can drive the writers inside the simulated Mac.
//
//   bnch-writers-driver configure-shell | is-configured | uv-path | mise | cargo-path
//   bnch-writers-driver agent-note
//   bnch-writers-driver add-mcp SLUG [API-KEY]
//   bnch-writers-driver install-skill SLUG
//   bnch-writers-driver create-project simple|coding|python [PARENT-FOLDER]
//
// Exit status: 0 when the writer succeeded, 1 when it reported a failure, 2 for
// a usage error.
#include <cstdio>
#include <string>
#include <vector>

#include "engine/platform/live_file_system.h"
#include "engine/product/python_product.h"
#include "engine/remediation/agent_env_doc.h"
#include "engine/remediation/agent_skill.h"
#include "engine/remediation/mcp_config_writer.h"
#include "engine/remediation/mcp_server.h"
#include "engine/remediation/resource_locator.h"
#include "engine/remediation/shell_configurator.h"
#include "engine/remediation/skill_folder_installer.h"
#include "engine/remediation/template_tree_copier.h"
#include "engine/workflow/product_config.h"

namespace {

int print(const std::vector<std::string>& lines, bool succeeded) {
  for (const auto& line : lines) std::printf("%s\n", line.c_str());
  return succeeded ? 0 : 1;
}

int usage() {
  std::fprintf(stderr,
               "usage: bnch-writers-driver configure-shell|is-configured|uv-path|mise|cargo-path|agent-note\n"
               "       bnch-writers-driver add-mcp SLUG [API-KEY]\n"
               "       bnch-writers-driver install-skill SLUG\n"
               "       bnch-writers-driver create-project simple|coding|python [PARENT-FOLDER]\n");
  return 2;
}

bool allConfigured(const std::vector<std::string>& lines) {
  for (const auto& line : lines) {
    if (line.starts_with("Couldn't")) return false;
  }
  return true;
}

}  // namespace

int main(int argc, char** argv) {
  using namespace bnch;
  const std::vector<std::string> args(argv + 1, argv + argc);
  if (args.empty()) return usage();
  ProductConfig::setCurrent(pythonProduct());
  const ProductConfig product = ProductConfig::current();
  LiveFileSystem fs;
  const std::string& command = args[0];

  if (command == "configure-shell") {
    const auto report = ShellConfigurator(fs, product).configure();
    return print(report.lines, report.succeeded);
  }
  if (command == "is-configured") {
    const bool configured = ShellConfigurator(fs, product).isConfigured();
    std::printf("%s\n", configured ? "true" : "false");
    return configured ? 0 : 1;
  }
  if (command == "uv-path" || command == "mise" || command == "cargo-path") {
    ShellConfigurator shell(fs, product);
    const auto lines = command == "uv-path" ? shell.configureUvPath()
                       : command == "mise"  ? shell.configureMise()
                                            : shell.configureCargoPath();
    return print(lines, allConfigured(lines));
  }
  if (command == "agent-note") {
    const auto report = AgentEnvDoc(fs, product).write();
    return print(report.lines, report.succeeded);
  }
  if (command == "add-mcp" && (args.size() == 2 || args.size() == 3)) {
    for (const auto& server : MCPServer::offered()) {
      if (server.slug != args[1]) continue;
      const std::string endpoint = server.endpoint(args.size() == 3 ? std::optional(args[2]) : std::nullopt);
      MCPConfigWriter writer(fs);
      const auto claude = writer.addToClaude(server.slug, endpoint);
      const auto codex = writer.addToCodex(server.slug, endpoint);
      std::vector<std::string> lines = claude.lines;
      lines.insert(lines.end(), codex.lines.begin(), codex.lines.end());
      const bool failed = (claude.agentPresent && claude.failed) || (codex.agentPresent && codex.failed);
      return print(lines, !failed);
    }
    return usage();
  }
  if (command == "install-skill" && args.size() == 2) {
    const auto folder = ResourceLocator(fs).skill(args[1]);
    if (!folder) {
      std::printf(
          "Couldn't find the bundled %s skill in the app \u2014 this build may be missing its skill resources.\n",
          args[1].c_str());
      return 1;
    }
    const auto report = SkillFolderInstaller(fs).install(*folder, args[1]);
    return print(report.lines, report.succeeded);
  }
  if (command == "create-project" && (args.size() == 2 || args.size() == 3)) {
    const auto projectTemplate = projectTemplateFromString(args[1]);
    if (!projectTemplate) return usage();
    const auto source = ResourceLocator(fs).exampleProject(*projectTemplate);
    const std::filesystem::path parent =
        args.size() == 3 ? std::filesystem::path(args[2]) : fs.homeDirectory() / "Documents";
    const auto report = TemplateTreeCopier(fs).copy(
        source.value_or(std::filesystem::path("example-projects") / std::string(folderName(*projectTemplate))),
        parent / std::string(folderName(*projectTemplate)));
    return print(report.lines, report.succeeded);
  }
  return usage();
}
