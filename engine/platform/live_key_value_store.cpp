#include "engine/platform/live_key_value_store.h"

#include <cmath>
#include <cstdlib>

#ifdef __APPLE__
#include <CoreFoundation/CoreFoundation.h>

#include <vector>
#else
#include <fcntl.h>
#include <sys/file.h>
#include <unistd.h>
#include <cerrno>

#include <nlohmann/json.hpp>

#include "engine/platform/live_file_system.h"
#endif

namespace bnch {

namespace {

bool truthy(const StoredValue& value) {
  if (const bool* flag = std::get_if<bool>(&value)) return *flag;
  if (const std::int64_t* number = std::get_if<std::int64_t>(&value)) return *number != 0;
  if (const double* number = std::get_if<double>(&value)) return *number != 0.0 && !std::isnan(*number);
  return false;
}

}  // namespace

std::optional<std::string> LiveKeyValueStore::string(const std::string& key) const {
  std::optional<StoredValue> stored = value(key);
  if (!stored) return std::nullopt;
  if (const std::string* text = std::get_if<std::string>(&*stored)) return *text;
  return std::nullopt;
}

bool LiveKeyValueStore::boolean(const std::string& key) const {
  std::optional<StoredValue> stored = value(key);
  return stored && truthy(*stored);
}

#ifdef __APPLE__

namespace {

// Owns one CoreFoundation reference.
template <typename T>
class CFHolder {
 public:
  explicit CFHolder(T reference = nullptr) : reference_(reference) {}
  ~CFHolder() {
    if (reference_ != nullptr) CFRelease(reference_);
  }
  CFHolder(const CFHolder&) = delete;
  CFHolder& operator=(const CFHolder&) = delete;
  T get() const { return reference_; }

 private:
  T reference_;
};

CFStringRef makeCFString(const std::string& text) {
  return CFStringCreateWithBytes(kCFAllocatorDefault, reinterpret_cast<const UInt8*>(text.data()),
                                 static_cast<CFIndex>(text.size()), kCFStringEncodingUTF8, false);
}

std::optional<std::string> fromCFString(CFStringRef text) {
  CFIndex length = CFStringGetLength(text);
  CFIndex size = CFStringGetMaximumSizeForEncoding(length, kCFStringEncodingUTF8) + 1;
  std::vector<char> buffer(static_cast<std::size_t>(size));
  if (!CFStringGetCString(text, buffer.data(), size, kCFStringEncodingUTF8)) return std::nullopt;
  return std::string(buffer.data());
}

CFPropertyListRef makeCFValue(const StoredValue& value) {
  if (const std::string* text = std::get_if<std::string>(&value)) return makeCFString(*text);
  if (const bool* flag = std::get_if<bool>(&value)) return CFRetain(*flag ? kCFBooleanTrue : kCFBooleanFalse);
  if (const std::int64_t* number = std::get_if<std::int64_t>(&value)) {
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberSInt64Type, number);
  }
  if (const double* number = std::get_if<double>(&value)) {
    return CFNumberCreate(kCFAllocatorDefault, kCFNumberDoubleType, number);
  }
  const auto& list = std::get<std::vector<std::string>>(value);
  CFMutableArrayRef array =
      CFArrayCreateMutable(kCFAllocatorDefault, static_cast<CFIndex>(list.size()), &kCFTypeArrayCallBacks);
  for (const auto& item : list) {
    CFHolder<CFStringRef> element(makeCFString(item));
    if (element.get() != nullptr) CFArrayAppendValue(array, element.get());
  }
  return array;
}

}  // namespace

LiveKeyValueStore::LiveKeyValueStore(std::string domain, std::optional<std::filesystem::path>)
    : domain_(std::move(domain)) {}

std::optional<StoredValue> LiveKeyValueStore::value(const std::string& key) const {
  CFHolder<CFStringRef> application(makeCFString(domain_));
  CFHolder<CFStringRef> name(makeCFString(key));
  if (application.get() == nullptr || name.get() == nullptr) return std::nullopt;
  CFHolder<CFPropertyListRef> stored(CFPreferencesCopyAppValue(name.get(), application.get()));
  CFPropertyListRef raw = stored.get();
  if (raw == nullptr) return std::nullopt;
  CFTypeID type = CFGetTypeID(raw);
  if (type == CFStringGetTypeID()) {
    if (auto text = fromCFString(static_cast<CFStringRef>(raw))) return StoredValue(*text);
    return std::nullopt;
  }
  if (type == CFBooleanGetTypeID()) return StoredValue(CFBooleanGetValue(static_cast<CFBooleanRef>(raw)) != 0);
  if (type == CFNumberGetTypeID()) {
    auto number = static_cast<CFNumberRef>(raw);
    if (CFNumberIsFloatType(number)) {
      double result = 0;
      CFNumberGetValue(number, kCFNumberDoubleType, &result);
      return StoredValue(result);
    }
    std::int64_t result = 0;
    CFNumberGetValue(number, kCFNumberSInt64Type, &result);
    return StoredValue(result);
  }
  if (type == CFArrayGetTypeID()) {
    auto array = static_cast<CFArrayRef>(raw);
    std::vector<std::string> list;
    for (CFIndex i = 0; i < CFArrayGetCount(array); ++i) {
      const void* element = CFArrayGetValueAtIndex(array, i);
      if (element == nullptr || CFGetTypeID(element) != CFStringGetTypeID()) return std::nullopt;
      auto text = fromCFString(static_cast<CFStringRef>(element));
      if (!text) return std::nullopt;
      list.push_back(*text);
    }
    return StoredValue(std::move(list));
  }
  return std::nullopt;  // dates, data, dictionaries: not read by this program
}

void LiveKeyValueStore::set(const std::optional<StoredValue>& value, const std::string& key) {
  CFHolder<CFStringRef> application(makeCFString(domain_));
  CFHolder<CFStringRef> name(makeCFString(key));
  if (application.get() == nullptr || name.get() == nullptr) return;
  CFHolder<CFPropertyListRef> stored(value ? makeCFValue(*value) : nullptr);
  if (value && stored.get() == nullptr) return;  // text that is not valid UTF-8
  CFPreferencesSetAppValue(name.get(), stored.get(), application.get());
  CFPreferencesAppSynchronize(application.get());
}

#else  // not __APPLE__

namespace {

using Json = nlohmann::json;

// The whole store; anything but a readable JSON object counts as empty.
Json readStore(const std::filesystem::path& file) {
  try {
    Json store = Json::parse(LiveFileSystem().readData(file));
    if (store.is_object()) return store;
  } catch (const std::exception&) {
    // Missing, unreadable or damaged: start afresh.
  }
  return Json::object();
}

std::optional<StoredValue> fromJson(const Json& stored) {
  if (stored.is_string()) return StoredValue(stored.get<std::string>());
  if (stored.is_boolean()) return StoredValue(stored.get<bool>());
  if (stored.is_number_integer()) {
    if (stored.is_number_unsigned() && stored.get<std::uint64_t>() > static_cast<std::uint64_t>(INT64_MAX)) {
      return StoredValue(static_cast<double>(stored.get<std::uint64_t>()));
    }
    return StoredValue(stored.get<std::int64_t>());
  }
  if (stored.is_number_float()) return StoredValue(stored.get<double>());
  if (stored.is_array()) {
    std::vector<std::string> list;
    for (const auto& element : stored) {
      if (!element.is_string()) return std::nullopt;
      list.push_back(element.get<std::string>());
    }
    return StoredValue(std::move(list));
  }
  return std::nullopt;
}

Json toJson(const StoredValue& value) {
  return std::visit([](const auto& item) { return Json(item); }, value);
}

// An exclusive flock on a lock file for the life of the object (none when the
// lock file cannot be opened: the write still happens, only unguarded).
class FileLock {
 public:
  explicit FileLock(const std::filesystem::path& path) : fd_(::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600)) {
    if (fd_ < 0) return;
    while (::flock(fd_, LOCK_EX) != 0 && errno == EINTR) {
    }
  }
  ~FileLock() {
    if (fd_ >= 0) ::close(fd_);  // closing releases the lock
  }
  FileLock(const FileLock&) = delete;
  FileLock& operator=(const FileLock&) = delete;

 private:
  int fd_;
};

}  // namespace

LiveKeyValueStore::LiveKeyValueStore(std::string domain, std::optional<std::filesystem::path> preferencesFolder)
    : domain_(std::move(domain)) {
  std::filesystem::path folder =
      preferencesFolder ? *preferencesFolder : LiveFileSystem().homeDirectory() / "Library" / "Preferences";
  file_ = folder / (domain_ + ".json");
  lockFile_ = folder / (domain_ + ".json.lock");
}

std::optional<StoredValue> LiveKeyValueStore::value(const std::string& key) const {
  Json store = readStore(file_);
  auto found = store.find(key);
  if (found == store.end()) return std::nullopt;
  return fromJson(*found);
}

void LiveKeyValueStore::set(const std::optional<StoredValue>& value, const std::string& key) {
  try {
    LiveFileSystem files;
    files.createDirectory(file_.parent_path(), true);
    std::lock_guard threads(writeMutex_);
    FileLock processes(lockFile_);
    Json store = readStore(file_);  // what other writers saved since we last looked
    if (value) {
      store[key] = toJson(*value);
    } else {
      store.erase(key);
    }
    // Text that is not valid UTF-8 is stored with replacement characters.
    files.writeData(store.dump(2, ' ', false, Json::error_handler_t::replace) + "\n", file_);
  } catch (const std::exception&) {
    // Like the platform store, a change that cannot be saved is dropped.
  }
}

#endif

}  // namespace bnch
