// Memory of one document: its nodes and their child lists are carved from chunks that the
// document owns, and freed blocks wait in per-size free lists for the next node or list of the
// same document. A document is many small blocks of a few sizes; a heap call for each would
// dominate reading a file, and the chunks keep a document's nodes close together in memory.
// Nothing is kept per thread, so nothing is left behind when a thread ends.
#pragma once

#include <array>
#include <bit>
#include <cstddef>
#include <new>
#include <vector>

// Under AddressSanitizer every block comes from the heap, so that a use after free is caught.
#if defined(__SANITIZE_ADDRESS__)
#define LEVRANO_ARENA_FROM_HEAP 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define LEVRANO_ARENA_FROM_HEAP 1
#endif
#endif

namespace levrano {

class TXmlArena {
public:
    TXmlArena() = default;
    ~TXmlArena();
    TXmlArena(const TXmlArena&) = delete;
    TXmlArena& operator=(const TXmlArena&) = delete;

    // Blocks are aligned for pointers; `size` must be passed again on release.
    void* Allocate(std::size_t size);
    void Release(void* block, std::size_t size) noexcept;

private:
    struct TFreeBlock {
        TFreeBlock* next;
    };
    struct TChunk {
        void* memory;
        std::size_t size;
    };
    static constexpr std::size_t kGrain = alignof(void*);  // nodes and lists hold pointers, sizes and bytes
    static constexpr std::size_t kExactLimit = 512;        // sizes up to this have a list each
    static constexpr std::size_t kLargeBlock = 16 * 1024;  // above this: straight from the heap
    static constexpr std::size_t kFirstChunk = 4 * 1024;
    static constexpr std::size_t kClasses = kExactLimit / kGrain + 8;

    // Sizes up to kExactLimit keep their own list; larger ones are rounded up to a power of two.
    static constexpr std::size_t RoundedSize(std::size_t size) {
        return size <= kExactLimit ? (size + kGrain - 1) / kGrain * kGrain : std::bit_ceil(size);
    }
    static constexpr std::size_t ClassOf(std::size_t rounded) {
        return rounded <= kExactLimit ? rounded / kGrain
                                      : kExactLimit / kGrain + static_cast<std::size_t>(std::countr_zero(rounded / kExactLimit));
    }
    void* Carve(std::size_t rounded);

    std::array<TFreeBlock*, kClasses + 1> free_{};
    std::vector<TChunk> chunks_;
    char* next_ = nullptr;  // unused part of the last chunk
    char* end_ = nullptr;
};

#ifndef LEVRANO_ARENA_FROM_HEAP

inline void* TXmlArena::Allocate(std::size_t size) {
    const std::size_t rounded = RoundedSize(size);
    if (rounded > kLargeBlock) return ::operator new(rounded);
    TFreeBlock*& free = free_[ClassOf(rounded)];
    if (free) {
        TFreeBlock* block = free;
        free = block->next;
        return block;
    }
    if (static_cast<std::size_t>(end_ - next_) < rounded) return Carve(rounded);
    void* block = next_;
    next_ += rounded;
    return block;
}

inline void TXmlArena::Release(void* block, std::size_t size) noexcept {
    const std::size_t rounded = RoundedSize(size);
    if (rounded > kLargeBlock) {
        ::operator delete(block);
        return;
    }
    TFreeBlock*& free = free_[ClassOf(rounded)];
    free = ::new (block) TFreeBlock{free};
}

#else

inline void* TXmlArena::Allocate(std::size_t size) {
    return ::operator new(size);
}

inline void TXmlArena::Release(void* block, std::size_t) noexcept {
    ::operator delete(block);
}

#endif

}  // namespace levrano
