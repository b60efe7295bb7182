#pragma once
// Storage for NanoXML nodes. Documents have millions of nodes of one size; carving them from
// 2 MiB slabs saves the general allocator's per-block overhead and makes building and
// destroying large trees much cheaper. A slab goes back to the system once all of its nodes
// are gone (one empty slab is kept for reuse). Thread-safe.
#include <cstddef>

namespace qm::xml {

void* AllocateNode(std::size_t size);
void FreeNode(void* block, std::size_t size) noexcept;

}  // namespace qm::xml
