// The packed row store: rows never move while the cache grows.
#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "db/row_cache.h"

namespace levrano {
namespace {

std::string RowText(int i) { return std::to_string(i) + std::string(static_cast<std::size_t>(i % 7), 'x'); }

TEST(RowCache, RowsKeepTheirBytesAndAddressesAsTheCacheGrows) {
    TRowCache cache;
    std::vector<const std::byte*> addresses;
    const int rows = 3 * static_cast<int>(TRowCache::kBlockSlots) + 5;
    for (int i = 0; i < rows; ++i) {
        const std::string text = RowText(i);
        std::byte* row = cache.Add(text.size());
        std::memcpy(row, text.data(), text.size());
        addresses.push_back(row);
    }
    ASSERT_EQ(cache.Count(), rows);
    for (int i = 0; i < rows; ++i) {
        ASSERT_EQ(cache.Row(i), addresses[i]) << i;
        const std::string text = RowText(i);
        ASSERT_EQ(std::memcmp(cache.Row(i), text.data(), text.size()), 0) << i;
    }
}

TEST(RowCache, LargeRowsBetweenSmallOnes) {
    TRowCache cache;
    const std::vector<std::size_t> sizes = {10, 40000, 12, 70000, 8, 65536, 3};
    for (std::size_t i = 0; i < sizes.size(); ++i) std::memset(cache.Add(sizes[i]), static_cast<int>(i + 1), sizes[i]);
    for (std::size_t i = 0; i < sizes.size(); ++i) {
        const std::byte* row = cache.Row(static_cast<int>(i));
        EXPECT_EQ(row[0], std::byte(i + 1)) << i;
        EXPECT_EQ(row[sizes[i] - 1], std::byte(i + 1)) << i;
    }
}

TEST(RowCache, ClearForgetsEveryRow) {
    TRowCache cache;
    cache.Add(4);
    cache.Clear();
    EXPECT_EQ(cache.Count(), 0);
    std::memset(cache.Add(4), 9, 4);
    EXPECT_EQ(cache.Row(0)[3], std::byte(9));
}

}  // namespace
}  // namespace levrano
