// Sessions of the demo site: ids, changes, and the bound on their number.
#include "demo/session_store.h"

#include <gtest/gtest.h>

#include <set>

namespace quillet {
namespace {

TEST(SessionStore, IdsAreUnguessableHexAndSessionsKeepTheirState) {
  SessionStore store;
  std::set<std::string> ids;
  for (int i = 0; i < 200; ++i) ids.insert(store.create());
  EXPECT_EQ(ids.size(), 200u);
  for (const auto& id : ids) {
    EXPECT_EQ(id.size(), 32u);
    EXPECT_EQ(id.find_first_not_of("0123456789abcdef"), std::string::npos);
  }
  const std::string id = *ids.begin();
  EXPECT_TRUE(store.update(id, [](Session& s) { s.captcha = "1234"; }));
  EXPECT_EQ(store.find(id)->captcha, "1234");
  EXPECT_FALSE(store.update("not-a-session", [](Session& s) { s.user = "x"; }));
  EXPECT_FALSE(store.find("not-a-session").has_value());
  store.erase(id);
  EXPECT_FALSE(store.find(id).has_value());
}

TEST(SessionStore, ForgetsTheLeastRecentlyUsedWhenFull) {
  SessionStore store(3);
  const std::string a = store.create();
  const std::string b = store.create();
  const std::string c = store.create();
  store.update(a, [](Session&) {});  // a is now more recent than b
  const std::string d = store.create();
  EXPECT_EQ(store.size(), 3u);
  EXPECT_TRUE(store.find(a).has_value());
  EXPECT_FALSE(store.find(b).has_value());
  EXPECT_TRUE(store.find(c).has_value());
  EXPECT_TRUE(store.find(d).has_value());
}

}  // namespace
}  // namespace quillet
