#pragma once

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

namespace bnch::testing {

// The lines of a recorded transcript in tests/data (see its README for sources).
inline std::vector<std::string> recordedLines(const std::string& name) {
  std::ifstream in(std::string(BNCH_TEST_DATA_DIR) + "/" + name);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  EXPECT_FALSE(lines.empty()) << name;
  return lines;
}

}  // namespace bnch::testing
