#include <cstdio>
#include <nlohmann/json.hpp>

#include "engine/config/product_config.h"
#include "tools/benchkit-doctor/commands.h"

namespace bnch::doctor {

// Prints the current product configuration's identity, storage names and links.
int configCommand(const Arguments& arguments) {
  if (arguments != Arguments{"--json"}) {
    std::fprintf(stderr, "usage: benchkit-doctor config --json\n");
    return 2;
  }
  ProductConfig::setCurrent(ProductConfig::python());
  const ProductConfig config = ProductConfig::current();
  nlohmann::ordered_json json{
      {"appID", config.appID},
      {"displayName", config.displayName},
      {"appSupportDirName", config.appSupportDirName},
      {"userDefaultsPrefix", config.userDefaultsPrefix},
      {"shellConfigMarker", config.shellConfigMarker},
      {"datedShellMarker", config.datedShellMarker},
      {"cacheDirName", config.cacheDirName},
      {"flow", std::string(toString(config.flow))},
      {"urls",
       {
           {"articleBase", config.urls.articleBase},
           {"privacy", config.urls.privacy},
           {"installMethods", config.urls.installMethods},
           {"troubleshooting", config.urls.troubleshooting},
           {"envConfig", config.urls.envConfig},
           {"commandLineTools", config.urls.commandLineTools},
           {"macosUpgrade", config.urls.macosUpgrade},
           {"warpAffiliate", config.urls.warpAffiliate},
       }},
  };
  std::puts(json.dump(2).c_str());
  return 0;
}

}  // namespace bnch::doctor
