#include "xml/xml_arena.h"

#include <algorithm>
#include <mutex>

namespace levrano {

namespace {

constexpr std::size_t kCachedChunk = 64 * 1024;  // stays below the heap's mmap threshold
constexpr std::size_t kCachedChunks = 512;       // 32 MB at most

// Full-size chunks of documents that were freed, kept for the next document: each fresh page
// from the system costs a fault and its zeroing, which was much of the time of reading a large
// file. Freed when the module is unloaded.
class TChunkCache {
public:
    ~TChunkCache();
    void* Take();
    bool Keep(void* chunk);

private:
    std::mutex lock_;
    std::vector<void*> chunks_;
};

// Trivially destructible, so that a document freed after the cache's own end still reads it.
constinit bool g_cacheClosed = false;
TChunkCache g_chunkCache;

TChunkCache::~TChunkCache() {
    std::lock_guard<std::mutex> guard(lock_);
    g_cacheClosed = true;
    for (void* chunk : chunks_) ::operator delete(chunk);
    chunks_.clear();
}

void* TChunkCache::Take() {
    if (g_cacheClosed) return nullptr;
    std::lock_guard<std::mutex> guard(lock_);
    if (chunks_.empty()) return nullptr;
    void* chunk = chunks_.back();
    chunks_.pop_back();
    return chunk;
}

bool TChunkCache::Keep(void* chunk) {
    if (g_cacheClosed) return false;
    std::lock_guard<std::mutex> guard(lock_);
    if (chunks_.size() >= kCachedChunks) return false;
    chunks_.push_back(chunk);
    return true;
}

}  // namespace

TXmlArena::~TXmlArena() {
    for (const TChunk& chunk : chunks_)
        if (chunk.size != kCachedChunk || !g_chunkCache.Keep(chunk.memory)) ::operator delete(chunk.memory);
}

// A new chunk comes from the cache when it has one; otherwise it doubles the last one's size up
// to a cached chunk's, so that a small document stays small. What is left of the last chunk
// joins the free list of its size when it has an exact one.
void* TXmlArena::Carve(std::size_t rounded) {
    const auto rest = static_cast<std::size_t>(end_ - next_);
    if (rest >= sizeof(TFreeBlock) && rest <= kExactLimit) Release(next_, rest);
    TChunk chunk{g_chunkCache.Take(), kCachedChunk};
    if (!chunk.memory) {
        chunk.size = std::max(rounded, chunks_.empty() ? kFirstChunk : std::min(kCachedChunk, 2 * chunks_.back().size));
        chunk.memory = ::operator new(chunk.size);
    }
    chunks_.push_back(chunk);
    next_ = static_cast<char*>(chunk.memory) + rounded;
    end_ = static_cast<char*>(chunk.memory) + chunk.size;
    return chunk.memory;
}

}  // namespace levrano
