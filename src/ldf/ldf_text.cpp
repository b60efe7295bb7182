#include "ldf/ldf_text.h"

#include <cstdlib>
#include <new>

namespace qm::ldf {

namespace {

thread_local LdfTextArena* currentArena = nullptr;

constexpr LdfTextConstant kEmptyText("");

constexpr std::size_t kPrefix = sizeof(uint32_t);

std::size_t RoundUp4(std::size_t bytes) {
    return (bytes + 3) & ~std::size_t{3};
}

// Writes length prefix, characters and terminator; returns the characters.
char* Fill(char* block, std::string_view text) {
    const auto length = static_cast<uint32_t>(text.size());
    std::memcpy(block, &length, kPrefix);
    char* characters = block + kPrefix;
    if (!text.empty()) std::memcpy(characters, text.data(), text.size());
    characters[text.size()] = 0;
    return characters;
}

}  // namespace

char* LdfTextArena::Allocate(std::size_t bytes) {
    bytes = RoundUp4(bytes);
    if (static_cast<std::size_t>(end_ - next_) < bytes) {
        // A text larger than a quarter block gets a block of its own, so that the current
        // block's remaining room is not wasted.
        const std::size_t size = bytes > kBlockSize / 4 ? bytes : kBlockSize;
        char* block = static_cast<char*>(std::malloc(size));
        if (!block) throw std::bad_alloc();
        blocks_.push_back(block);
        reserved_ += size;
        if (size != kBlockSize) return block;
        next_ = block;
        end_ = block + size;
    }
    char* result = next_;
    next_ += bytes;
    return result;
}

void LdfTextArena::Reset() {
    for (char* block : blocks_) std::free(block);
    blocks_.clear();
    next_ = end_ = nullptr;
    reserved_ = 0;
}

LdfTextArena* LdfTextArena::Current() {
    return currentArena;
}

LdfTextArena::Scope::Scope(LdfTextArena& arena) : previous_(currentArena) {
    currentArena = &arena;
}

LdfTextArena::Scope::~Scope() {
    currentArena = previous_;
}

const char* LdfText::Empty() {
    return kEmptyText.characters;
}

void LdfText::Assign(std::string_view text) {
    if (text.empty()) {
        clear();
        return;
    }
    // The new characters are stored before the old are released: text may view them.
    const std::size_t bytes = kPrefix + text.size() + 1;
    const char* stored;
    if (LdfTextArena* arena = LdfTextArena::Current()) {
        stored = Fill(arena->Allocate(bytes), text);
    } else {
        char* block = static_cast<char*>(::operator new(RoundUp4(bytes)));
        stored =
            reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(Fill(block, text)) | kOwned);
    }
    Release();
    data_ = stored;
}

void LdfText::CopyFrom(const LdfText& other) {
    // Always the characters: the copy may outlive the arena of the text copied.
    Assign(other.view());
}

void LdfText::Release() noexcept {
    if (Owned()) ::operator delete(const_cast<char*>(Characters()) - kPrefix);
}

}  // namespace qm::ldf
