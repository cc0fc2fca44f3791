// Where expression nodes live. A tree is built node after node and freed
// as a whole, so nodes are placed one after another in slabs taken from the
// memory manager, and a slab goes back whole when the last node in it is
// freed. A large expression then costs a few slabs instead of hundreds of
// thousands of small blocks, each to be found and merged again when freed.
#pragma once

#include <cstddef>
#include <cstdint>

namespace kelvorin {

// Storage for one node of `size` bytes, 16-byte aligned. Raises
// std::bad_alloc when the memory manager has none.
void* AllocateExprNode(size_t size);
// Gives back what AllocateExprNode(size) handed out (from any thread).
void ReleaseExprNode(void* p, size_t size) noexcept;
// How many nodes this thread has placed so far (the parser reports the
// nodes one parse made).
int64_t ExprNodesPlaced();

}  // namespace kelvorin
