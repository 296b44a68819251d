#pragma once

#include <string>
#include <vector>

namespace bnch {

// What a synchronous writer hands back to the job that ran it: the progress lines
// to show, in order, and whether everything it attempted succeeded.
struct WriterReport {
  std::vector<std::string> lines;
  bool succeeded = true;

  bool operator==(const WriterReport&) const = default;
};

}  // namespace bnch
