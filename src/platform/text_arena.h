#pragma once
// Compact texts of a file's model. A loaded file has hundreds of thousands of names, units,
// comments and number texts; each one as a std::string costs 32 bytes in its object plus a heap
// block once it outgrows the inline buffer. A CompactText is one pointer wide: while a file is
// read, its characters are copied into that file's arena (large blocks released with the file);
// a text set later (an edit) gets a heap block of its own; a default can point at constant
// storage (a TextConstant). A family may keep its short texts inside the handle itself. In every
// form the characters stay zero-terminated and keep their exact length (a text may hold NUL
// bytes).
//
// Each model family (DBC, LDF, ...) names its own family type, deriving from TextFamily (or
// giving the same two constants), and so gets its own current arena per thread: reading a file
// of one family never puts the texts of another into its arena.
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qm::platform {

// What a family chooses: the block size of its arenas, and up to how many characters a text is
// kept inside the handle (0: every text points at characters outside it, which then never move
// with the handle).
template <std::size_t ArenaBlockSize, std::size_t InlineCapacity>
struct TextFamily {
    static constexpr std::size_t kArenaBlockSize = ArenaBlockSize;
    static constexpr std::size_t kInlineCapacity = InlineCapacity;
};

// Monotonic storage for the texts read from one file. Blocks are few and large; nothing is
// freed one by one. Reset() drops everything at once, when the file's model is gone. The block
// size is the family's, given with each request, so that an arena costs no more room in a file
// object than its blocks' bookkeeping.
class TextArena {
  public:
    TextArena() = default;
    TextArena(const TextArena&) = delete;
    TextArena& operator=(const TextArena&) = delete;

    // Room for bytes, 4-byte aligned. A request the current block has no room for opens a new
    // block of blockSize; one over a quarter block gets a block of its own size instead, and
    // the current block's remaining room stays in use.
    char* Allocate(std::size_t bytes, std::size_t blockSize);
    void Reset();
    ~TextArena() { Reset(); }
    std::size_t BytesReserved() const { return reserved_; }

  private:
    std::vector<char*> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t reserved_ = 0;
};

// The arena of one family's texts, with the one its texts go to on this thread while a file is
// read (null outside of a read).
template <class Family>
class FamilyTextArena : public TextArena {
  public:
    char* Allocate(std::size_t bytes) {
        return TextArena::Allocate(bytes, Family::kArenaBlockSize);
    }

    static FamilyTextArena* Current() { return current_; }

    // Makes an arena current for the lifetime of the scope (the read of one file).
    class Scope {
      public:
        explicit Scope(FamilyTextArena& arena) : previous_(current_) { current_ = &arena; }
        ~Scope() { current_ = previous_; }
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        FamilyTextArena* previous_;
    };

  private:
    static inline constinit thread_local FamilyTextArena* current_ = nullptr;
};

// The stored form every long text has: a length prefix, the characters and a terminator,
// 4-byte aligned. A handle points at the characters.
namespace stored_text {

inline constexpr std::size_t kPrefix = sizeof(uint32_t);
// Set in a handle's low bit when the characters are a heap block of the text's own.
inline constexpr uintptr_t kOwned = 1;

inline std::size_t LengthOf(const char* characters) {
    uint32_t length;
    std::memcpy(&length, characters - kPrefix, sizeof(length));
    return length;
}

// Stores text in arena (in blocks of blockSize), or without one in a heap block of its own;
// returns the characters' address, with kOwned set for a heap block.
uintptr_t Store(std::string_view text, TextArena* arena, std::size_t blockSize);
// Frees a heap block that Store made (the address without kOwned).
void FreeOwned(const char* characters) noexcept;

}  // namespace stored_text

// Constant storage a text can point at without a copy: the length, the characters and the
// terminator, laid out as every stored text is.
template <std::size_t N>
struct TextConstant {
    constexpr explicit TextConstant(const char (&text)[N]) : length(N - 1) {
        for (std::size_t i = 0; i < N; ++i) characters[i] = text[i];
    }
    alignas(4) uint32_t length;
    char characters[N];
};

// What an empty text points at in a family that keeps no text inside the handle.
inline constexpr TextConstant kEmptyTextConstant("");

template <class Family>
class CompactText {
  public:
    // Texts of up to this many characters are kept inside the object.
    static constexpr std::size_t kInlineCapacity = Family::kInlineCapacity;
    static_assert(kInlineCapacity <= 6, "a short text, its length and terminator fit 8 bytes");

    CompactText() = default;
    explicit CompactText(std::string_view text) { Assign(text); }
    template <std::size_t N>
    explicit CompactText(const TextConstant<N>& constant) : bits_(AddressOf(constant)) {}
    // A copy always takes the characters: it may outlive the arena of the text copied.
    CompactText(const CompactText& other) { Assign(other.view()); }
    CompactText(CompactText&& other) noexcept : bits_(other.bits_) { other.bits_ = EmptyBits(); }
    CompactText& operator=(const CompactText& other) {
        if (this != &other) Assign(other.view());
        return *this;
    }
    CompactText& operator=(CompactText&& other) noexcept {
        if (this != &other) {
            Release();
            bits_ = other.bits_;
            other.bits_ = EmptyBits();
        }
        return *this;
    }
    CompactText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    CompactText& operator=(const std::string& text) { return *this = std::string_view(text); }
    CompactText& operator=(const char* text) { return *this = std::string_view(text); }
    template <std::size_t N>
    CompactText& operator=(const TextConstant<N>& constant) {
        Release();
        bits_ = AddressOf(constant);
        return *this;
    }
    ~CompactText() {
        static_assert(sizeof(CompactText) == 8, "a text is one pointer wide");
        Release();
    }

    void Assign(std::string_view text);
    void assign(std::string_view text) { Assign(text); }
    // Takes other's characters without a copy when they live in a file's arena, in constant
    // storage or inside other: the texts of one read then share one copy, e.g. every attribute
    // of a definition its name. A text with a heap block of its own is copied.
    void Share(const CompactText& other);
    void clear() {
        Release();
        bits_ = EmptyBits();
    }

    const char* c_str() const { return Characters(); }
    const char* data() const { return Characters(); }
    std::size_t size() const {
        if constexpr (kInlineCapacity > 0) {
            if (Inline()) return static_cast<unsigned char>(bits_) >> 2;
        }
        return stored_text::LengthOf(Characters());
    }
    std::size_t length() const { return size(); }
    bool empty() const { return size() == 0; }
    std::string_view view() const { return {Characters(), size()}; }
    std::string str() const { return std::string(view()); }
    operator std::string_view() const { return view(); }
    // Code written for std::string members keeps working: a copy where one is wanted.
    operator std::string() const { return str(); }
    char operator[](std::size_t i) const { return Characters()[i]; }
    const char* begin() const { return Characters(); }
    const char* end() const { return Characters() + size(); }
    char front() const { return Characters()[0]; }
    char back() const { return Characters()[size() - 1]; }
    std::size_t find(char c, std::size_t from = 0) const { return view().find(c, from); }
    std::size_t find(std::string_view s, std::size_t from = 0) const {
        return view().find(s, from);
    }
    std::string_view substr(std::size_t from, std::size_t count = std::string_view::npos) const {
        return view().substr(from, count);
    }
    int compare(std::string_view other) const { return view().compare(other); }

    friend bool operator==(const CompactText& a, const CompactText& b) {
        return a.view() == b.view();
    }
    friend bool operator==(const CompactText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const CompactText& a, const char* b) { return a.view() == b; }
    friend bool operator==(const CompactText& a, const std::string& b) { return a.view() == b; }
    friend auto operator<=>(const CompactText& a, const CompactText& b) {
        return a.view() <=> b.view();
    }
    friend auto operator<=>(const CompactText& a, std::string_view b) { return a.view() <=> b; }
    friend std::string operator+(const std::string& a, const CompactText& b) {
        std::string out = a;
        out += b.view();
        return out;
    }
    friend std::string operator+(const char* a, const CompactText& b) {
        std::string out = a;
        out += b.view();
        return out;
    }
    friend std::string operator+(const CompactText& a, std::string_view b) {
        std::string out(a.view());
        out += b;
        return out;
    }
    friend std::ostream& operator<<(std::ostream& out, const CompactText& text) {
        return out << text.view();
    }

  private:
    // The forms share the eight bytes, told apart by the two low bits of the first byte (the
    // low byte of a pointer on this little-endian platform):
    //  00  a pointer to stored characters (in an arena or a constant), 4-byte aligned, with the
    //      length before them;
    //  01  the same, but a heap block of the text's own (a text set after the read);
    //  10  (only where the family keeps short texts inside) a short text inside the object:
    //      the first byte holds length << 2, the characters and their terminator follow. Most
    //      names, units and number texts of a file are this short: they then cost no storage
    //      beyond the object.
    static constexpr uint64_t kFormMask = 3;
    static constexpr uint64_t kOwned = stored_text::kOwned;
    static constexpr uint64_t kInline = 2;

    static uint64_t EmptyBits() {
        if constexpr (kInlineCapacity > 0) {
            return kInline;  // an inline text of length 0
        } else {
            return AddressOf(kEmptyTextConstant);
        }
    }
    template <std::size_t N>
    static uint64_t AddressOf(const TextConstant<N>& constant) {
        return reinterpret_cast<uintptr_t>(constant.characters);
    }

    bool Inline() const { return kInlineCapacity > 0 && (bits_ & kFormMask) == kInline; }
    bool Owned() const { return (bits_ & kFormMask) == kOwned; }
    const char* Characters() const {
        if constexpr (kInlineCapacity > 0) {
            if (Inline()) return reinterpret_cast<const char*>(&bits_) + 1;
        }
        return reinterpret_cast<const char*>(static_cast<uintptr_t>(bits_ & ~kFormMask));
    }
    void Release() noexcept {
        if (Owned()) stored_text::FreeOwned(Characters());
    }

    uint64_t bits_ = EmptyBits();
};

template <class Family>
void CompactText<Family>::Assign(std::string_view text) {
    if constexpr (kInlineCapacity > 0) {
        if (text.size() <= kInlineCapacity) {
            // Built aside first: text may view this object's own characters. A few bytes are
            // placed one by one: a copy call would cost more than the text.
            uint64_t bits = (text.size() << 2) | kInline;
            for (std::size_t i = 0; i < text.size(); ++i) {
                bits |= uint64_t{static_cast<unsigned char>(text[i])} << (8 * (i + 1));
            }
            Release();
            bits_ = bits;
            return;
        }
    } else if (text.empty()) {
        clear();
        return;
    }
    // The new characters are stored before the old are released: text may view them.
    const uint64_t stored =
        stored_text::Store(text, FamilyTextArena<Family>::Current(), Family::kArenaBlockSize);
    Release();
    bits_ = stored;
}

template <class Family>
void CompactText<Family>::Share(const CompactText& other) {
    if (this == &other) return;
    if (other.Owned()) {
        Assign(other.view());
        return;
    }
    Release();
    bits_ = other.bits_;
}

static_assert(std::endian::native == std::endian::little,
              "the form bits share a pointer's low byte");

}  // namespace qm::platform
