#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <thread>

#include <gtest/gtest.h>

#include "engine/platform/live_key_value_store.h"
#include "tests/support/temp_dir.h"

namespace bnch {
namespace {

using testing::TempDir;

constexpr const char* kDomain = "com.example.settings-test";

class LiveKeyValueStoreTest : public ::testing::Test {
 protected:
  LiveKeyValueStore makeStore() const { return LiveKeyValueStore(kDomain, dir.path() / "Preferences"); }
  std::filesystem::path file() const { return dir.path() / "Preferences" / (std::string(kDomain) + ".json"); }
  void damage(const std::string& bytes) const { std::ofstream(file(), std::ios::binary | std::ios::trunc) << bytes; }

  TempDir dir;
};

TEST_F(LiveKeyValueStoreTest, StoresEveryKindAndRemovesWithAbsent) {
  LiveKeyValueStore store = makeStore();
  EXPECT_FALSE(store.string("missing"));
  EXPECT_FALSE(store.boolean("missing"));

  store.set(StoredValue(std::string("caf\xC3\xA9")), "name");
  store.set(StoredValue(true), "done");
  store.set(StoredValue(std::int64_t{1} << 40), "big");
  store.set(StoredValue(2.5), "ratio");
  store.set(StoredValue(std::vector<std::string>{"a", "b"}), "list");

  // A second instance reads what the first saved.
  LiveKeyValueStore other = makeStore();
  EXPECT_EQ(other.string("name"), "caf\xC3\xA9");
  EXPECT_TRUE(other.boolean("done"));
  EXPECT_EQ(other.value("big"), StoredValue(std::int64_t{1} << 40));
  EXPECT_EQ(other.value("ratio"), StoredValue(2.5));
  EXPECT_EQ(other.value("list"), StoredValue(std::vector<std::string>{"a", "b"}));
  EXPECT_FALSE(other.string("done"));  // not a string
  EXPECT_TRUE(other.boolean("big"));   // a non-zero number counts as true

  store.set(std::nullopt, "done");
  store.set(std::nullopt, "name");
  EXPECT_FALSE(other.boolean("done"));
  EXPECT_FALSE(other.string("name"));
  EXPECT_FALSE(other.value("done"));
  EXPECT_EQ(other.value("ratio"), StoredValue(2.5));
}

TEST_F(LiveKeyValueStoreTest, DamagedFileReadsAsEmptyAndIsReplaced) {
  LiveKeyValueStore store = makeStore();
  store.set(StoredValue(true), "old");
  for (const std::string& garbage :
       {std::string("{\"old\": tr"), std::string("\x00\xFF\x01", 3), std::string("[1, 2]"), std::string("")}) {
    damage(garbage);
    EXPECT_FALSE(store.boolean("old"));
    store.set(StoredValue(std::string("v")), "fresh");
    EXPECT_EQ(store.string("fresh"), "v");
  }
  // Values this program never writes (objects, nested lists) read as absent.
  damage(R"({"object": {"a": 1}, "mixed": ["a", 1], "text": "ok"})");
  EXPECT_FALSE(store.value("object"));
  EXPECT_FALSE(store.value("mixed"));
  EXPECT_EQ(store.string("text"), "ok");
}

TEST_F(LiveKeyValueStoreTest, ConcurrentWritersInThreadsAndProcessesKeepEveryKey) {
  constexpr int kWriters = 4;
  constexpr int kKeysEach = 25;
  auto writeKeys = [this](const std::string& who) {
    LiveKeyValueStore store = makeStore();
    for (int i = 0; i < kKeysEach; ++i) store.set(StoredValue(std::int64_t{i}), who + "." + std::to_string(i));
  };

  std::vector<pid_t> children;
  for (int p = 0; p < kWriters; ++p) {
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      writeKeys("process" + std::to_string(p));
      ::_exit(0);
    }
    children.push_back(child);
  }
  std::vector<std::thread> threads;
  for (int t = 0; t < kWriters; ++t) threads.emplace_back(writeKeys, "thread" + std::to_string(t));
  for (auto& thread : threads) thread.join();
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }

  LiveKeyValueStore store = makeStore();
  for (const std::string kind : {"process", "thread"}) {
    for (int w = 0; w < kWriters; ++w) {
      for (int i = 0; i < kKeysEach; ++i) {
        const std::string key = kind + std::to_string(w) + "." + std::to_string(i);
        EXPECT_EQ(store.value(key), StoredValue(std::int64_t{i})) << key;
      }
    }
  }
}

}  // namespace
}  // namespace bnch
