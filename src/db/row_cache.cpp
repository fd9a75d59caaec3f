#include "db/row_cache.h"

namespace levrano {

std::byte* TRowCache::Add(std::size_t size) {
    const std::size_t index = static_cast<std::size_t>(count_);
    if (index == blocks_.size() * kBlockSlots) {
        if (blocks_.empty()) blocks_.reserve(kInitialBlockRoom);
        blocks_.push_back(std::make_unique<Block>());
    }
    std::byte* row = Allocate(size);
    (*blocks_[index / kBlockSlots])[index % kBlockSlots] = row;
    ++count_;
    return row;
}

std::byte* TRowCache::Allocate(std::size_t size) {
    if (size > kLargeRow) {
        largeRows_.push_back(std::make_unique_for_overwrite<std::byte[]>(size));
        return largeRows_.back().get();
    }
    if (size > chunkFree_) {
        chunks_.push_back(std::make_unique_for_overwrite<std::byte[]>(kChunkSize));
        chunkFree_ = kChunkSize;
    }
    std::byte* row = chunks_.back().get() + (kChunkSize - chunkFree_);
    chunkFree_ -= size;
    return row;
}

void TRowCache::Clear() {
    count_ = 0;
    blocks_.clear();
    chunks_.clear();
    largeRows_.clear();
    chunkFree_ = 0;
}

}  // namespace levrano
