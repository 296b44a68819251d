#include <gtest/gtest.h>

#include "engine/platform/app_services.h"
#include "engine/platform/live_key_value_store.h"

namespace bnch {
namespace {

TEST(AppServicesTest, LiveServicesAreBuiltOnceAndComplete) {
  const AppServices& first = AppServices::live();
  const AppServices& second = AppServices::live();
  EXPECT_EQ(&first, &second);
  ASSERT_TRUE(first.processRunner && first.http && first.fs && first.store);
  EXPECT_FALSE(first.isFixtureMode);
  auto* store = dynamic_cast<LiveKeyValueStore*>(first.store.get());
  ASSERT_NE(store, nullptr);
  EXPECT_EQ(store->domain(), "com.quillora.benchkit-python");
}

}  // namespace
}  // namespace bnch
