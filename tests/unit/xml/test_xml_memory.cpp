// Node memory: a document reuses the memory of the nodes it dropped.
#include <gtest/gtest.h>

#include <set>

#include "xml/xml_arena.h"
#include "xml/xmldoc.h"

namespace levrano {
namespace {

constexpr int kItems = 1000;

std::set<const void*> BlocksOf(const TXmlNode* node) {
    std::set<const void*> blocks;
    for (std::int32_t i = 0; i < Count(node); ++i) {
        const TXmlNode* item = Child(node, i);
        blocks.insert(item);
        blocks.insert(item->Attributes.get());
        blocks.insert(Child(item->Attributes.get(), 0));
    }
    return blocks;
}

void AddItems(TXmlNode* node) {
    for (int i = 0; i < kItems; ++i) AddAttribute(AddElement(node, "item", ""), "n", std::to_string(i));
}

TEST(XmlNodeMemory, NodesDroppedByClearAreReusedByTheirDocument) {
#if defined(LEVRANO_ARENA_FROM_HEAP)  // set for GCC and for clang
    GTEST_SKIP() << "nodes come from the heap under AddressSanitizer";
#endif
    auto doc = NewXmlDocument();
    TXmlNode* tanks = AddElement(doc.get(), "Tanks", "");
    AddItems(tanks);
    const std::set<const void*> first = BlocksOf(tanks);
    ASSERT_EQ(3u * kItems, first.size());
    Clear(tanks, true, true);
    AddItems(tanks);
    EXPECT_EQ(first, BlocksOf(tanks));
}

}  // namespace
}  // namespace levrano
