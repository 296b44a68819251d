#include "engine/config/product_names.h"

#include <ctime>

namespace bnch {

std::string ProductNames::shellMarkerLine(std::string_view title) const {
  std::string line = "# ";
  if (datedShellMarker) {
    std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char date[16];
    std::strftime(date, sizeof date, "%Y-%m-%d", &local);
    line += date;
    line += ' ';
  }
  line += shellConfigMarker;
  line += " \u2014 ";
  line += title;
  return line;
}

}  // namespace bnch
