// Which addresses the demo site takes for its items.
#include "demo/item_address.h"

#include <gtest/gtest.h>

namespace quillet {
namespace {

struct AddressCase {
  const char* address;
  int expected;  // 0: not one of the site's items
};

class ItemAddressTest : public ::testing::TestWithParam<AddressCase> {};

TEST_P(ItemAddressTest, ParsesOrRefuses) {
  const auto& c = GetParam();
  const auto id = parseItemAddress(c.address, 8421);
  if (c.expected == 0) {
    EXPECT_FALSE(id.has_value()) << c.address;
  } else {
    ASSERT_TRUE(id.has_value()) << c.address;
    EXPECT_EQ(*id, c.expected);
  }
}

INSTANTIATE_TEST_SUITE_P(
    Addresses, ItemAddressTest,
    ::testing::Values(AddressCase{"http://127.0.0.1:8421/item/1", 1},
                      AddressCase{"http://127.0.0.1:8421/item/100000", 100000},
                      AddressCase{"http://localhost:8421/item/42/", 42},
                      AddressCase{"  http://127.0.0.1:8421/item/7\r\n", 7},
                      AddressCase{"http://127.0.0.1:8421/item/0", 0},
                      AddressCase{"http://127.0.0.1:8421/item/100001", 0},
                      AddressCase{"http://127.0.0.1:8421/item/007", 0},
                      AddressCase{"http://127.0.0.1:8421/item/-5", 0},
                      AddressCase{"http://127.0.0.1:8421/item/5x", 0},
                      AddressCase{"http://127.0.0.1:8421/item/", 0},
                      AddressCase{"http://127.0.0.1:8421/item/99999999999999999999", 0},
                      AddressCase{"http://127.0.0.1:84210/item/5", 0},
                      AddressCase{"http://127.0.0.1:842/item/5", 0},
                      AddressCase{"https://127.0.0.1:8421/item/5", 0},
                      AddressCase{"http://example.com:8421/item/5", 0},
                      AddressCase{"http://127.0.0.1:8421/goods/5", 0},
                      AddressCase{"http://127.0.0.1:8421/item/5?from=x", 0},
                      AddressCase{"http://127.0.0.1:8421/item/5 6", 0}, AddressCase{"", 0},
                      AddressCase{"   ", 0}));

TEST(ItemAddress, EveryAddressTheSiteWritesIsOneItReads) {
  for (int id : {1, 2, 99, 4321, 100000}) {
    EXPECT_EQ(parseItemAddress(itemAddress(18000, id), 18000), id);
    EXPECT_FALSE(parseItemAddress(itemAddress(18000, id), 18001).has_value());
  }
}

}  // namespace
}  // namespace quillet
