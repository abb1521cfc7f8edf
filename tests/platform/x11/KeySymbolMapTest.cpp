#include <gtest/gtest.h>

#include "platform/x11/KeySymbolMap.h"

namespace vellotype {
namespace {

constexpr std::uint32_t kV = 0x76, kUpperV = 0x56, kB = 0x62, kEm = 0x6cd, kPeriod = 0x2e;
constexpr std::uint8_t kVPosition = 55;

TEST(KeySymbolMapLookup, FindsTheKeyWhoseFirstLevelTypesTheSymbolInTheGroup) {
  // Dvorak puts "v" on the US "." key; the second group is Russian.
  const KeySymbolMap map({
      {kVPosition, 0x02, 2, {kPeriod, 0x3e, kEm, 0x6ed}},
      {40, 0x02, 2, {kB, kV, kB, kV}},
      {60, 0x02, 2, {kV, kUpperV, 0x44e, 0x42e}},
  });
  EXPECT_EQ(map.keycodeTyping(kV, 0, kVPosition), 60);
  EXPECT_EQ(map.keycodeTyping(kV, 1, kVPosition), std::nullopt);
  EXPECT_EQ(KeySymbolMap({{50, 0x01, 2, {kV, kUpperV}}, {kVPosition, 0x01, 2, {kV, kUpperV}}})
                .keycodeTyping(kV, 0, kVPosition),
            kVPosition);
}

TEST(KeySymbolMapLookup, BringsAGroupBeyondTheKeysOwnIntoRange) {
  const std::vector<std::uint32_t> threeGroups = {kB, 0, kV, 0, kEm, 0};
  // Group 3 of a key with three: wrapped it is group 0, clamped group 2, redirected as told.
  EXPECT_EQ(KeySymbolMap({{10, 0x03, 2, threeGroups}}).keycodeTyping(kB, 3, 0), 10);
  EXPECT_EQ(KeySymbolMap({{10, 0x43, 2, threeGroups}}).keycodeTyping(kEm, 3, 0), 10);
  EXPECT_EQ(KeySymbolMap({{10, 0x93, 2, threeGroups}}).keycodeTyping(kV, 3, 0), 10);
  EXPECT_EQ(KeySymbolMap({{10, 0x00, 0, {}}}).keycodeTyping(kV, 0, 0), std::nullopt);
}

}  // namespace
}  // namespace vellotype
