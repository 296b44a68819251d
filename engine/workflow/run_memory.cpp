#include "engine/workflow/run_memory.h"

#include "engine/platform/text.h"

namespace bnch {

namespace {

constexpr const char* kExperienceBucket = ".experience_bucket";
constexpr const char* kExperienceSkipped = ".experience_skipped";
constexpr const char* kCompletedDomains = ".completed_domains";
constexpr const char* kCreatedProjectPaths = ".created_project_paths";
constexpr const char* kNpsSubmitted = ".nps_submitted";

constexpr std::string_view kBlanks = " \t\r";

}  // namespace

bool isBlankText(std::string_view text) { return trimmedOf(text, kBlanks).empty(); }

RunMemory::RunMemory(std::shared_ptr<KeyValueStoring> store, const ProductNames& product)
    : store_(std::move(store)), prefix_(product.userDefaultsPrefix) {}

std::optional<std::string> RunMemory::experienceBucket() const {
  return store_ ? store_->string(key(kExperienceBucket)) : std::nullopt;
}

bool RunMemory::experienceSkipped() const { return store_ && store_->boolean(key(kExperienceSkipped)); }

void RunMemory::rememberExperience(const std::string& bucket, bool skipped) {
  if (!store_) return;
  store_->set(StoredValue{bucket}, key(kExperienceBucket));
  store_->set(StoredValue{skipped}, key(kExperienceSkipped));
}

std::vector<std::string> RunMemory::completedDomains() const { return lines(kCompletedDomains); }

void RunMemory::rememberCompletedDomains(const std::set<std::string>& domains) {
  setLines({domains.begin(), domains.end()}, kCompletedDomains);
}

std::vector<std::string> RunMemory::createdProjectPaths() const { return lines(kCreatedProjectPaths); }

void RunMemory::rememberCreatedProjectPaths(const std::vector<std::string>& paths) {
  setLines(paths, kCreatedProjectPaths);
}

bool RunMemory::satisfactionSubmitted() const { return store_ && store_->boolean(key(kNpsSubmitted)); }

void RunMemory::rememberSatisfactionSubmitted() {
  if (store_) store_->set(StoredValue{true}, key(kNpsSubmitted));
}

std::vector<std::string> RunMemory::lines(const char* suffix) const {
  std::vector<std::string> lines;
  const std::optional<std::string> text = store_ ? store_->string(key(suffix)) : std::nullopt;
  if (!text) return lines;
  std::size_t start = 0;
  while (start <= text->size()) {
    std::size_t end = text->find('\n', start);
    if (end == std::string::npos) end = text->size();
    const std::string_view line = trimmedOf(std::string_view(*text).substr(start, end - start), kBlanks);
    if (!line.empty()) lines.emplace_back(line);
    start = end + 1;
  }
  return lines;
}

void RunMemory::setLines(const std::vector<std::string>& lines, const char* suffix) {
  if (!store_) return;
  std::string text;
  for (std::size_t index = 0; index < lines.size(); ++index) {
    if (index > 0) text += '\n';
    text += lines[index];
  }
  store_->set(StoredValue{text}, key(suffix));
}

}  // namespace bnch
