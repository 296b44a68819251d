#pragma once

#include <memory>

#include "engine/platform/file_system_operating.h"
#include "engine/platform/http_fetching.h"
#include "engine/platform/key_value_storing.h"
#include "engine/platform/process_running.h"

namespace bnch {

// The four reaches outside the process, built once and handed to every model.
struct AppServices {
  std::shared_ptr<ProcessRunning> processRunner;
  std::shared_ptr<HTTPFetching> http;
  std::shared_ptr<FileSystemOperating> fs;
  std::shared_ptr<KeyValueStoring> store;
  bool isFixtureMode = false;

  // The live services, built on first use and shared.
  static const AppServices& live();
};

}  // namespace bnch
