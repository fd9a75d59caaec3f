// Every fetched row of a query, packed, so that moving back needs no new fetch. Row slots live
// in fixed blocks of 4096 and the row bytes in fixed chunks, so growing never moves a stored row.
#pragma once

#include <array>
#include <cstddef>
#include <memory>
#include <vector>

namespace levrano {

class TRowCache {
public:
    static constexpr std::size_t kBlockSlots = 4096;

    int Count() const { return count_; }
    // Room for a new row of `size` bytes, stored as row Count() - 1 once the caller filled it.
    std::byte* Add(std::size_t size);
    const std::byte* Row(int index) const { return (*blocks_[index / kBlockSlots])[index % kBlockSlots]; }
    void Clear();

private:
    using Block = std::array<const std::byte*, kBlockSlots>;
    static constexpr std::size_t kChunkSize = 64 * 1024;
    static constexpr std::size_t kLargeRow = kChunkSize / 4;  // stored apart, not in a chunk
    static constexpr std::size_t kInitialBlockRoom = 1024;

    std::byte* Allocate(std::size_t size);

    int count_ = 0;
    std::vector<std::unique_ptr<Block>> blocks_;
    std::vector<std::unique_ptr<std::byte[]>> chunks_;
    std::vector<std::unique_ptr<std::byte[]>> largeRows_;
    std::size_t chunkFree_ = 0;  // bytes left at the end of the last chunk
};

}  // namespace levrano
