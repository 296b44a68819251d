#include "engine/contracts/version_text.h"

#include <algorithm>
#include <cstdint>

namespace bnch {
namespace {

std::vector<std::string_view> parts(std::string_view text) {
  std::vector<std::string_view> result;
  std::size_t start = 0;
  while (true) {
    const std::size_t dot = text.find('.', start);
    result.push_back(text.substr(start, dot == std::string_view::npos ? std::string_view::npos : dot - start));
    if (dot == std::string_view::npos) break;
    start = dot + 1;
  }
  return result;
}

bool allDigits(std::string_view text) {
  return !text.empty() && std::all_of(text.begin(), text.end(), [](char c) { return c >= '0' && c <= '9'; });
}

// Compares two digit strings by value without overflowing: leading zeros dropped, then length, then text.
int compareNumbers(std::string_view a, std::string_view b) {
  while (a.size() > 1 && a.front() == '0') a.remove_prefix(1);
  while (b.size() > 1 && b.front() == '0') b.remove_prefix(1);
  if (a.size() != b.size()) return a.size() < b.size() ? -1 : 1;
  return a.compare(b) < 0 ? -1 : (a == b ? 0 : 1);
}

}  // namespace

bool VersionText::isVersionLike(std::string_view text) {
  if (text.empty() || !(text.front() >= '0' && text.front() <= '9')) return false;
  if (text.find('.') == std::string_view::npos) return false;
  return std::all_of(text.begin(), text.end(), [](char c) { return (c >= '0' && c <= '9') || c == '.'; });
}

bool VersionText::less(std::string_view a, std::string_view b) {
  const auto left = parts(a);
  const auto right = parts(b);
  for (std::size_t i = 0; i < std::min(left.size(), right.size()); ++i) {
    const bool leftNumber = allDigits(left[i]);
    const bool rightNumber = allDigits(right[i]);
    int order = 0;
    if (leftNumber && rightNumber) {
      order = compareNumbers(left[i], right[i]);
    } else if (leftNumber != rightNumber) {
      order = leftNumber ? -1 : 1;
    } else {
      order = left[i].compare(right[i]) < 0 ? -1 : (left[i] == right[i] ? 0 : 1);
    }
    if (order != 0) return order < 0;
  }
  return left.size() < right.size();
}

std::optional<std::string> VersionText::highest(const std::vector<std::string>& names) {
  if (names.empty()) return std::nullopt;
  const std::string* best = &names.front();
  for (const auto& name : names) {
    if (!less(name, *best)) best = &name;
  }
  return *best;
}

}  // namespace bnch
