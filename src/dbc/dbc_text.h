#pragma once
// Compact texts of the DBC model. A loaded file has hundreds of thousands of names, units,
// comments and number texts; each one as a std::string costs 32 bytes in its object plus a heap
// block once it outgrows the inline buffer. A DbcText is one pointer: while a file is being read
// its texts are copied into that file's arena (large blocks released with the file); a text set
// later (an edit) gets a heap block of its own. Either way the characters stay zero-terminated
// and keep their exact length (a text may hold NUL bytes).
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
    DbcText(DbcText&& other) noexcept : data_(other.data_) { other.data_ = Empty(); }
    DbcText& operator=(const DbcText& other) {
        if (this != &other) Assign(other.view());
        return *this;
    }
    DbcText& operator=(DbcText&& other) noexcept {
        if (this != &other) {
            Release();
            data_ = other.data_;
            other.data_ = Empty();
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
    void clear() {
        Release();
        data_ = Empty();
    }

    const char* c_str() const { return Characters(); }
    const char* data() const { return Characters(); }
    std::size_t size() const {
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

  private:
    // The low bit of data_ marks a heap block of the text's own; arena and the shared empty
    // text leave it clear (both are 4-byte aligned).
    static constexpr uintptr_t kOwned = 1;
    static const char* Empty();
    const char* Characters() const {
        return reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(data_) & ~kOwned);
    }
    bool Owned() const { return (reinterpret_cast<uintptr_t>(data_) & kOwned) != 0; }
    void Release() noexcept;

    const char* data_ = Empty();
};

}  // namespace qm::dbc
