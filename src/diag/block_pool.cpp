#include "diag/block_pool.h"

#include <algorithm>
#include <new>

namespace qm::diag {

BlockPool::BlockPool(size_t blockSize, size_t blocksPerSlab)
    : blockSize_((std::max(blockSize, sizeof(FreeBlock)) + alignof(std::max_align_t) - 1) /
                 alignof(std::max_align_t) * alignof(std::max_align_t)),
      slabBytes_(blockSize_ * std::max<size_t>(blocksPerSlab, 1)) {}

void* BlockPool::Allocate() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_ != nullptr) {
        FreeBlock* block = free_;
        free_ = block->next;
        ++live_;
        return block;
    }
    if (cursor_ == end_) {
        slabs_.reserve(slabs_.size() + 1);
        char* slab = static_cast<char*>(::operator new(slabBytes_));
        slabs_.push_back(slab);
        cursor_ = slab;
        end_ = slab + slabBytes_;
    }
    void* block = cursor_;
    cursor_ += blockSize_;
    ++live_;
    return block;
}

void BlockPool::Release(void* block) noexcept {
    std::lock_guard<std::mutex> lock(mutex_);
    auto* freed = static_cast<FreeBlock*>(block);
    freed->next = free_;
    free_ = freed;
    if (--live_ == 0) FreeSlabs();
}

void BlockPool::FreeSlabs() noexcept {
    for (void* slab : slabs_) ::operator delete(slab);
    slabs_.clear();
    slabs_.shrink_to_fit();
    free_ = nullptr;
    cursor_ = end_ = nullptr;
}

size_t BlockPool::LiveBlocks() {
    std::lock_guard<std::mutex> lock(mutex_);
    return live_;
}

size_t BlockPool::SlabCount() {
    std::lock_guard<std::mutex> lock(mutex_);
    return slabs_.size();
}

}  // namespace qm::diag
