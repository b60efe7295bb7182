#include "xml/node_pool.h"

#include <sys/mman.h>

#include <atomic>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <thread>

#include "quillmere/xml.h"

namespace qm::xml {

namespace {

constexpr std::size_t kSlabBytes = std::size_t{1} << 21;  // 2 MiB: little waste at alignment
// Blocks are packed at the node's own alignment: every byte of a node counts in large documents.
constexpr std::size_t kBlockAlignment = alignof(NanoXML) > alignof(void*) ? alignof(NanoXML)
                                                                          : alignof(void*);
constexpr std::size_t kBlockBytes =
    (sizeof(NanoXML) + kBlockAlignment - 1) & ~(kBlockAlignment - 1);

struct FreeBlock {
    FreeBlock* next;
};

struct alignas(64) Slab {
    Slab* previous = nullptr;  // neighbours in the list of slabs with free blocks
    Slab* next = nullptr;
    FreeBlock* freeBlocks = nullptr;
    std::size_t live = 0;
    std::size_t untouched = 0;  // blocks at the end never handed out yet
    bool listed = false;
};

constexpr std::size_t kSlabCapacity = (kSlabBytes - sizeof(Slab)) / kBlockBytes;

char* FirstBlock(Slab* slab) {
    return reinterpret_cast<char*>(slab) + sizeof(Slab);
}

Slab* SlabOf(void* block) {
    return reinterpret_cast<Slab*>(reinterpret_cast<std::uintptr_t>(block) & ~(kSlabBytes - 1));
}

class SpinLock {
  public:
    void lock() {
        while (flag_.test_and_set(std::memory_order_acquire)) std::this_thread::yield();
    }
    void unlock() { flag_.clear(std::memory_order_release); }

  private:
    std::atomic_flag flag_ = ATOMIC_FLAG_INIT;
};

class NodePool {
  public:
    void* Allocate() {
        std::lock_guard<SpinLock> guard(lock_);
        Slab* slab = available_;
        if (slab == nullptr) {
            slab = NewSlab();
            if (slab == nullptr) throw std::bad_alloc();
        }
        void* block;
        if (slab->freeBlocks != nullptr) {
            block = slab->freeBlocks;
            slab->freeBlocks = slab->freeBlocks->next;
        } else {
            block = FirstBlock(slab) + (kSlabCapacity - slab->untouched) * kBlockBytes;
            --slab->untouched;
        }
        if (++slab->live == 1 && slab == spare_) spare_ = nullptr;
        if (slab->live == kSlabCapacity) Unlist(slab);
        return block;
    }

    void Free(void* block) {
        std::lock_guard<SpinLock> guard(lock_);
        Slab* slab = SlabOf(block);
        auto* freed = static_cast<FreeBlock*>(block);
        freed->next = slab->freeBlocks;
        slab->freeBlocks = freed;
        if (!slab->listed) List(slab);
        if (--slab->live == 0) ReleaseEmpty(slab);
    }

  private:
    Slab* NewSlab() {
        void* memory = std::aligned_alloc(kSlabBytes, kSlabBytes);
        if (memory == nullptr) return nullptr;
        // A slab is exactly one huge page: backed by one, its nodes cost one page fault instead
        // of 512, whatever the host's allocator does with the rest of the heap.
        ::madvise(memory, kSlabBytes, MADV_HUGEPAGE);
        auto* slab = new (memory) Slab();
        slab->untouched = kSlabCapacity;
        List(slab);
        return slab;
    }

    // Keeps one empty slab so that a tree built and destroyed in a loop does not churn.
    void ReleaseEmpty(Slab* slab) {
        if (spare_ == nullptr) {
            spare_ = slab;
            return;
        }
        Unlist(slab);
        slab->~Slab();
        std::free(slab);
    }

    void List(Slab* slab) {
        slab->previous = nullptr;
        slab->next = available_;
        if (available_ != nullptr) available_->previous = slab;
        available_ = slab;
        slab->listed = true;
    }

    void Unlist(Slab* slab) {
        if (slab->previous != nullptr) slab->previous->next = slab->next;
        if (slab->next != nullptr) slab->next->previous = slab->previous;
        if (available_ == slab) available_ = slab->next;
        slab->previous = slab->next = nullptr;
        slab->listed = false;
    }

    SpinLock lock_;
    Slab* available_ = nullptr;
    Slab* spare_ = nullptr;
};

NodePool& Pool() {
    // Never destroyed: nodes may still be freed by static destructors at exit.
    static NodePool* pool = new NodePool();
    return *pool;
}

}  // namespace

// Under AddressSanitizer every node is its own allocation, so that a use after free is caught
// instead of landing in a recycled slab slot.
#if defined(__SANITIZE_ADDRESS__)
#define QM_POOL_NODES 0
#elif defined(__has_feature)
#if __has_feature(address_sanitizer)
#define QM_POOL_NODES 0
#endif
#endif
#ifndef QM_POOL_NODES
#define QM_POOL_NODES 1
#endif

void* AllocateNode(std::size_t size) {
    if (!QM_POOL_NODES || size != sizeof(NanoXML)) return ::operator new(size);
    return Pool().Allocate();
}

void FreeNode(void* block, std::size_t size) noexcept {
    if (block == nullptr) return;
    if (!QM_POOL_NODES || size != sizeof(NanoXML)) {
        ::operator delete(block);
        return;
    }
    Pool().Free(block);
}

}  // namespace qm::xml

void* NanoXML::operator new(std::size_t size) {
    return qm::xml::AllocateNode(size);
}

void NanoXML::operator delete(void* block, std::size_t size) noexcept {
    qm::xml::FreeNode(block, size);
}
