#include "diag/block_pool.h"

#include <algorithm>
#include <new>

namespace qm::diag {

namespace {
constexpr size_t kFirstSlabBytes = size_t{64} << 10;
}  // namespace

BlockPool::BlockPool(size_t blockSize, size_t maxSlabBytes)
    : blockSize_((std::max(blockSize, sizeof(FreeBlock)) + alignof(std::max_align_t) - 1) /
                 alignof(std::max_align_t) * alignof(std::max_align_t)),
      maxSlabBytes_(std::max(maxSlabBytes, blockSize_)),
      nextSlabBytes_(std::min(kFirstSlabBytes, maxSlabBytes_)) {}

void* BlockPool::Allocate() {
    std::lock_guard<std::mutex> lock(mutex_);
    if (free_ != nullptr) {
        FreeBlock* block = free_;
        free_ = block->next;
        ++live_;
        return block;
    }
    if (cursor_ == end_) {
        const size_t bytes = std::max<size_t>(nextSlabBytes_ / blockSize_, 1) * blockSize_;
        slabs_.reserve(slabs_.size() + 1);
        char* slab = static_cast<char*>(::operator new(bytes));
        slabs_.push_back(slab);
        cursor_ = slab;
        end_ = slab + bytes;
        nextSlabBytes_ = std::min(nextSlabBytes_ * 2, maxSlabBytes_);
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
    nextSlabBytes_ = std::min(kFirstSlabBytes, maxSlabBytes_);
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
