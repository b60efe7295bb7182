#pragma once
// Objects of one size that a build makes by the hundred thousand (parameters, value-table
// entries): taken from large slabs instead of one heap allocation each, which keeps the
// allocator's bookkeeping and its scattered first touches out of the build. Freed blocks are
// reused; the slabs go back to the heap once every block of the pool is free again.
#include <cstddef>
#include <mutex>
#include <vector>

namespace qm::diag {

class BlockPool {
  public:
    // Slabs start small and double up to about maxSlabBytes (at least one block): a small model
    // costs little, and slabs of a few MiB let the heap back a large one with huge pages where
    // the process asks for them.
    BlockPool(size_t blockSize, size_t maxSlabBytes);
    BlockPool(const BlockPool&) = delete;
    BlockPool& operator=(const BlockPool&) = delete;

    void* Allocate();
    void Release(void* block) noexcept;
    // Blocks handed out and not yet released.
    size_t LiveBlocks();
    // Slabs the pool holds now.
    size_t SlabCount();

  private:
    struct FreeBlock {
        FreeBlock* next;
    };
    void FreeSlabs() noexcept;

    std::mutex mutex_;
    const size_t blockSize_;
    const size_t maxSlabBytes_;
    size_t nextSlabBytes_;
    FreeBlock* free_ = nullptr;
    char* cursor_ = nullptr;
    char* end_ = nullptr;
    size_t live_ = 0;
    std::vector<void*> slabs_;
};

// Whether pooled objects go through the pools; with the address sanitizer every object keeps
// its own allocation, so that stale uses are still caught.
#if defined(__SANITIZE_ADDRESS__)
constexpr bool kPoolObjects = false;
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
constexpr bool kPoolObjects = false;
#else
constexpr bool kPoolObjects = true;
#endif
#else
constexpr bool kPoolObjects = true;
#endif

// The pool for objects of type T (one per type, for the life of the process).
template <typename T>
BlockPool& PoolOf() {
    // Never destroyed: objects may still be freed while static objects go away.
    static BlockPool* pool = new BlockPool(sizeof(T), size_t{4} << 20);
    return *pool;
}

// Class-level allocation through the pool of T; other sizes (derived classes) use the heap.
template <typename T>
void* PooledNew(size_t size) {
    if (!kPoolObjects || size != sizeof(T)) return ::operator new(size);
    return PoolOf<T>().Allocate();
}

template <typename T>
void PooledDelete(void* block, size_t size) noexcept {
    if (block == nullptr) return;
    if (!kPoolObjects || size != sizeof(T)) {
        ::operator delete(block);
        return;
    }
    PoolOf<T>().Release(block);
}

}  // namespace qm::diag
