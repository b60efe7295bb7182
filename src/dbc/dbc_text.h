#pragma once
// Compact texts of the DBC model. A loaded file has hundreds of thousands of names, units,
// comments and number texts; each one as a std::string costs 32 bytes in its object plus a heap
// block once it outgrows the inline buffer. A DbcText is one pointer wide: a short text lives
// inside it; a longer one read from a file is copied into that file's arena (large blocks
// released with the file); a longer text set later (an edit) gets a heap block of its own. In
// every form the characters stay zero-terminated and keep their exact length (a text may hold
// NUL bytes). A short text's characters move with the object, as those of a std::string do.
#include <bit>
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qm::dbc {

// Monotonic storage for the texts read from one file. Blocks are few and large; nothing is
// freed one by one. Reset() drops everything at once, when the file's model is gone.
class DbcTextArena {
  public:
    DbcTextArena() = default;
    DbcTextArena(const DbcTextArena&) = delete;
    DbcTextArena& operator=(const DbcTextArena&) = delete;
    ~DbcTextArena() { Reset(); }

    // Room for a length prefix, the characters and the terminator; 4-byte aligned.
    char* Allocate(std::size_t bytes);
    void Reset();
    std::size_t BytesReserved() const { return reserved_; }

    // The arena texts go to on this thread while a file is read; null outside of a read.
    static DbcTextArena* Current();

    // Makes an arena current for the lifetime of the scope (the read of one file).
    class Scope {
      public:
        explicit Scope(DbcTextArena& arena);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        DbcTextArena* previous_;
    };

  private:
    static constexpr std::size_t kBlockSize = std::size_t{2} << 20;
    std::vector<char*> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t reserved_ = 0;
};

class DbcText {
  public:
    DbcText() = default;
    explicit DbcText(std::string_view text) { Assign(text); }
    DbcText(const DbcText& other) { Assign(other.view()); }
    DbcText(DbcText&& other) noexcept : bits_(other.bits_) { other.bits_ = kEmptyBits; }
    DbcText& operator=(const DbcText& other) {
        if (this != &other) Assign(other.view());
        return *this;
    }
    DbcText& operator=(DbcText&& other) noexcept {
        if (this != &other) {
            Release();
            bits_ = other.bits_;
            other.bits_ = kEmptyBits;
        }
        return *this;
    }
    DbcText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    ~DbcText() { Release(); }

    void Assign(std::string_view text);
    void assign(std::string_view text) { Assign(text); }
    // Takes other's characters without a copy when they live in a file's arena (or inside
    // other): the texts of one read then share one copy, e.g. every attribute of a definition
    // its name. A text with a heap block of its own is copied.
    void Share(const DbcText& other);
    void clear() {
        Release();
        bits_ = kEmptyBits;
    }

    const char* c_str() const { return Characters(); }
    const char* data() const { return Characters(); }
    std::size_t size() const {
        if (Inline()) return static_cast<unsigned char>(bits_) >> 2;
        uint32_t length;
        std::memcpy(&length, Characters() - sizeof(uint32_t), sizeof(length));
        return length;
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
    int compare(std::string_view other) const { return view().compare(other); }

    friend bool operator==(const DbcText& a, const DbcText& b) { return a.view() == b.view(); }
    friend bool operator==(const DbcText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const DbcText& a, const char* b) { return a.view() == b; }
    friend bool operator==(const DbcText& a, const std::string& b) { return a.view() == b; }
    friend auto operator<=>(const DbcText& a, const DbcText& b) { return a.view() <=> b.view(); }
    friend auto operator<=>(const DbcText& a, std::string_view b) { return a.view() <=> b; }
    friend std::string operator+(const std::string& a, const DbcText& b) {
        std::string out = a;
        out += b.view();
        return out;
    }
    friend std::string operator+(const char* a, const DbcText& b) {
        std::string out = a;
        out += b.view();
        return out;
    }
    friend std::string operator+(const DbcText& a, std::string_view b) {
        std::string out(a.view());
        out += b;
        return out;
    }
    friend std::ostream& operator<<(std::ostream& out, const DbcText& text) {
        return out << text.view();
    }

    // Texts of up to this many characters are kept inside the object.
    static constexpr std::size_t kInlineCapacity = 6;

  private:
    // Three forms share the eight bytes, told apart by the two low bits of the first byte
    // (the low byte of a pointer on this little-endian platform):
    //  00  a pointer to characters in an arena, 4-byte aligned, with the length before them;
    //  01  the same, but a heap block of the text's own (a text set after the read);
    //  10  a short text inside the object: the first byte holds length << 2, the characters
    //      and their terminator follow. Most names, units, number texts and indicators of a
    //      file are this short: they then cost no storage beyond the object.
    static constexpr uint64_t kFormMask = 3;
    static constexpr uint64_t kOwned = 1;
    static constexpr uint64_t kInline = 2;
    static constexpr uint64_t kEmptyBits = kInline;  // an inline text of length 0

    bool Inline() const { return (bits_ & kFormMask) == kInline; }
    bool Owned() const { return (bits_ & kFormMask) == kOwned; }
    const char* Characters() const {
        if (Inline()) return reinterpret_cast<const char*>(&bits_) + 1;
        return reinterpret_cast<const char*>(static_cast<uintptr_t>(bits_ & ~kFormMask));
    }
    void Release() noexcept;

    uint64_t bits_ = kEmptyBits;
};

static_assert(sizeof(DbcText) == 8, "a text is one pointer wide");
static_assert(std::endian::native == std::endian::little,
              "the form bits share a pointer's low byte");

}  // namespace qm::dbc
