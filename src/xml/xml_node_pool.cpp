// Memory of document nodes. Blocks of one node's size are carved from large chunks and reused
// through a free list kept per thread, which avoids a heap call per node and keeps pages that a
// document used ready for the next one. Chunks are kept for the life of the process; the free
// list of a thread that ends goes to the next thread that runs short.
#include <mutex>
#include <new>

#include "xml/xmldoc.h"

// Under AddressSanitizer nodes come from the heap, so that a use after free is still caught.
#if defined(__SANITIZE_ADDRESS__)
#define LEVRANO_NODES_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LEVRANO_NODES_FROM_HEAP 1
#endif
#endif

namespace levrano {

#ifndef LEVRANO_NODES_FROM_HEAP

namespace {

constexpr std::size_t kBlockSize = sizeof(TXmlNode);
constexpr std::size_t kBlocksPerChunk = 1024;
static_assert(kBlockSize % alignof(TXmlNode) == 0);

struct TFreeBlock {
    TFreeBlock* next;
};

// Free blocks handed over by threads that ended.
std::mutex g_orphanLock;
TFreeBlock* g_orphans = nullptr;

// Trivially destructible, so that nodes freed late in a thread's exit still find it.
struct TThreadPool {
    TFreeBlock* free;
    char* next;  // unused part of the current chunk
    char* end;
};
thread_local TThreadPool t_pool{};

void GiveBlock(void* block) {
    TFreeBlock* freed = static_cast<TFreeBlock*>(block);
    freed->next = t_pool.free;
    t_pool.free = freed;
}

// At the end of a thread its free blocks and the unused rest of its chunk become orphans.
void HandOverBlocks() {
    for (; t_pool.next != t_pool.end; t_pool.next += kBlockSize) GiveBlock(t_pool.next);
    if (!t_pool.free) return;
    TFreeBlock* last = t_pool.free;
    while (last->next) last = last->next;
    std::lock_guard<std::mutex> guard(g_orphanLock);
    last->next = g_orphans;
    g_orphans = t_pool.free;
    t_pool.free = nullptr;
}

struct TExitHandOver {
    ~TExitHandOver() { HandOverBlocks(); }
};
thread_local TExitHandOver t_exitHandOver;

// Called whenever the thread comes to hold blocks, so that it hands them over when it ends.
void HandOverAtExit() {
    (void)&t_exitHandOver;
}

bool AdoptOrphans() {
    std::lock_guard<std::mutex> guard(g_orphanLock);
    t_pool.free = g_orphans;
    g_orphans = nullptr;
    return t_pool.free != nullptr;
}

void Refill() {
    HandOverAtExit();
    if (AdoptOrphans()) return;
    t_pool.next = static_cast<char*>(::operator new(kBlockSize * kBlocksPerChunk));
    t_pool.end = t_pool.next + kBlockSize * kBlocksPerChunk;
}

void* TakeBlock() {
    if (!t_pool.free && t_pool.next == t_pool.end) Refill();
    if (t_pool.free) {
        TFreeBlock* block = t_pool.free;
        t_pool.free = block->next;
        return block;
    }
    void* block = t_pool.next;
    t_pool.next += kBlockSize;
    return block;
}

}  // namespace

// A derived node (the document) has another size and comes from the heap.
void* TXmlNode::operator new(std::size_t size) {
    return size == kBlockSize ? TakeBlock() : ::operator new(size);
}

void TXmlNode::operator delete(void* block, std::size_t size) noexcept {
    if (size == kBlockSize) {
        if (!t_pool.free) HandOverAtExit();
        GiveBlock(block);
    } else {
        ::operator delete(block, size);
    }
}

#else

void* TXmlNode::operator new(std::size_t size) {
    return ::operator new(size);
}

void TXmlNode::operator delete(void* block, std::size_t size) noexcept {
    ::operator delete(block, size);
}

#endif

}  // namespace levrano
