#include "dbc/dbc_text.h"

#include <cstdlib>
#include <new>

namespace qm::dbc {

namespace {

thread_local DbcTextArena* currentArena = nullptr;

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

char* DbcTextArena::Allocate(std::size_t bytes) {
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

void DbcTextArena::Reset() {
    for (char* block : blocks_) std::free(block);
    blocks_.clear();
    next_ = end_ = nullptr;
    reserved_ = 0;
}

DbcTextArena* DbcTextArena::Current() {
    return currentArena;
}

DbcTextArena::Scope::Scope(DbcTextArena& arena) : previous_(currentArena) {
    currentArena = &arena;
}

DbcTextArena::Scope::~Scope() {
    currentArena = previous_;
}

void DbcText::Assign(std::string_view text) {
    if (text.size() <= kInlineCapacity) {
        // Built aside first: text may view this object's own characters.
        uint64_t bits = 0;
        char* bytes = reinterpret_cast<char*>(&bits);
        bytes[0] = static_cast<char>((text.size() << 2) | kInline);
        if (!text.empty()) std::memcpy(bytes + 1, text.data(), text.size());
        Release();
        bits_ = bits;
        return;
    }
    // The new characters are stored before the old are released: text may view them.
    const std::size_t bytes = kPrefix + text.size() + 1;
    uint64_t stored;
    if (DbcTextArena* arena = DbcTextArena::Current()) {
        stored = reinterpret_cast<uintptr_t>(Fill(arena->Allocate(bytes), text));
    } else {
        char* block = static_cast<char*>(::operator new(RoundUp4(bytes)));
        stored = reinterpret_cast<uintptr_t>(Fill(block, text)) | kOwned;
    }
    Release();
    bits_ = stored;
}

void DbcText::Share(const DbcText& other) {
    if (this == &other) return;
    if (other.Owned()) {
        Assign(other.view());
        return;
    }
    Release();
    bits_ = other.bits_;
}

void DbcText::Release() noexcept {
    if (Owned()) ::operator delete(const_cast<char*>(Characters()) - kPrefix);
}

}  // namespace qm::dbc
