// Node memory: blocks freed by a thread that has ended are used again by the next one.
#include <gtest/gtest.h>

#include <set>
#include <thread>

#include "xml/xmldoc.h"

namespace levrano {
namespace {

constexpr int kNodes = 1000;

std::set<const TXmlNode*> NodesOf(const TXmlNode* document) {
    std::set<const TXmlNode*> nodes;
    for (std::int32_t i = 0; i < Count(document); ++i) nodes.insert(Child(document, i));
    return nodes;
}

std::unique_ptr<TXmlDocument> DocumentWithNodes() {
    auto doc = NewXmlDocument();
    for (int i = 0; i < kNodes; ++i) AddElement(doc.get(), "item", "");
    return doc;
}

// GCC and clang announce AddressSanitizer differently.
#if defined(__SANITIZE_ADDRESS__)
#define NODES_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define NODES_FROM_HEAP 1
#endif
#endif

TEST(XmlNodeMemory, BlocksFreedByAnEndedThreadAreReused) {
#if defined(NODES_FROM_HEAP)
    GTEST_SKIP() << "nodes come from the heap under AddressSanitizer";
#endif
    std::unique_ptr<TXmlDocument> first;
    std::thread([&] { first = DocumentWithNodes(); }).join();
    const std::set<const TXmlNode*> firstNodes = NodesOf(first.get());
    std::thread([&] { first.reset(); }).join();  // freed here, then the thread ends

    std::set<const TXmlNode*> secondNodes;
    std::thread([&] { secondNodes = NodesOf(DocumentWithNodes().get()); }).join();
    EXPECT_EQ(firstNodes, secondNodes);
}

}  // namespace
}  // namespace levrano
