#include "platform/text_arena.h"

#include <cstdlib>
#include <new>

namespace qm::platform {

namespace {

std::size_t RoundUp4(std::size_t bytes) {
    return (bytes + 3) & ~std::size_t{3};
}

// Writes length prefix, characters and terminator; returns the characters.
char* Fill(char* block, std::string_view text) {
    const auto length = static_cast<uint32_t>(text.size());
    std::memcpy(block, &length, stored_text::kPrefix);
    char* characters = block + stored_text::kPrefix;
    if (!text.empty()) std::memcpy(characters, text.data(), text.size());
    characters[text.size()] = 0;
    return characters;
}

}  // namespace

char* TextArena::Allocate(std::size_t bytes, std::size_t blockSize) {
    bytes = RoundUp4(bytes);
    if (static_cast<std::size_t>(end_ - next_) < bytes) {
        const std::size_t size = bytes > blockSize / 4 ? bytes : blockSize;
        char* block = static_cast<char*>(std::malloc(size));
        if (!block) throw std::bad_alloc();
        blocks_.push_back(block);
        reserved_ += size;
        if (size != blockSize) return block;
        next_ = block;
        end_ = block + size;
    }
    char* result = next_;
    next_ += bytes;
    return result;
}

void TextArena::Reset() {
    for (char* block : blocks_) std::free(block);
    blocks_.clear();
    next_ = end_ = nullptr;
    reserved_ = 0;
}

namespace stored_text {

uintptr_t Store(std::string_view text, TextArena* arena, std::size_t blockSize) {
    const std::size_t bytes = kPrefix + text.size() + 1;
    if (arena != nullptr) {
        return reinterpret_cast<uintptr_t>(Fill(arena->Allocate(bytes, blockSize), text));
    }
    char* block = static_cast<char*>(::operator new(RoundUp4(bytes)));
    return reinterpret_cast<uintptr_t>(Fill(block, text)) | kOwned;
}

void FreeOwned(const char* characters) noexcept {
    ::operator delete(const_cast<char*>(characters) - kPrefix);
}

}  // namespace stored_text

}  // namespace qm::platform
