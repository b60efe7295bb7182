#pragma once
// Compact texts of the LDF model. A big LIN file has hundreds of thousands of signal, frame and
// node names; as std::string each costs 32 bytes in its object, and a signal carries four texts
// (name, type, byte order, publisher as written) most of which are empty or a fixed default.
// An LdfText is one pointer: while a file is read its texts are copied into that file's arena
// (large blocks released with the file); a text set later (an edit) gets a heap block of its own;
// the defaults point at constant storage. The characters stay zero-terminated and keep their
// exact length (a text may hold NUL bytes).
#include <cstdint>
#include <cstring>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

namespace qm::ldf {

// Monotonic storage for the texts read from one file. Blocks are few and large; nothing is
// freed one by one. Reset() drops everything at once, when the file's model is gone.
class LdfTextArena {
  public:
    LdfTextArena() = default;
    LdfTextArena(const LdfTextArena&) = delete;
    LdfTextArena& operator=(const LdfTextArena&) = delete;
    ~LdfTextArena() { Reset(); }

    // Room for bytes, 4-byte aligned.
    char* Allocate(std::size_t bytes);
    void Reset();
    std::size_t BytesReserved() const { return reserved_; }

    // The arena texts go to on this thread while a file is read; null outside of a read.
    static LdfTextArena* Current();

    // Makes an arena current for the lifetime of the scope (the read of one file).
    class Scope {
      public:
        explicit Scope(LdfTextArena& arena);
        ~Scope();
        Scope(const Scope&) = delete;
        Scope& operator=(const Scope&) = delete;

      private:
        LdfTextArena* previous_;
    };

  private:
    static constexpr std::size_t kBlockSize = std::size_t{1} << 20;
    std::vector<char*> blocks_;
    char* next_ = nullptr;
    char* end_ = nullptr;
    std::size_t reserved_ = 0;
};

// Constant storage a text can point at without a copy: the length, the characters and the
// terminator, laid out as every stored text is.
template <std::size_t N>
struct LdfTextConstant {
    constexpr explicit LdfTextConstant(const char (&text)[N]) : length(N - 1) {
        for (std::size_t i = 0; i < N; ++i) characters[i] = text[i];
    }
    alignas(4) uint32_t length;
    char characters[N];
};

class LdfText {
  public:
    LdfText() = default;
    explicit LdfText(std::string_view text) { Assign(text); }
    template <std::size_t N>
    explicit LdfText(const LdfTextConstant<N>& constant) : data_(constant.characters) {}
    LdfText(const LdfText& other) { CopyFrom(other); }
    LdfText(LdfText&& other) noexcept : data_(other.data_) { other.data_ = Empty(); }
    LdfText& operator=(const LdfText& other) {
        if (this != &other) CopyFrom(other);
        return *this;
    }
    LdfText& operator=(LdfText&& other) noexcept {
        if (this != &other) {
            Release();
            data_ = other.data_;
            other.data_ = Empty();
        }
        return *this;
    }
    LdfText& operator=(std::string_view text) {
        Assign(text);
        return *this;
    }
    LdfText& operator=(const std::string& text) { return *this = std::string_view(text); }
    LdfText& operator=(const char* text) { return *this = std::string_view(text); }
    template <std::size_t N>
    LdfText& operator=(const LdfTextConstant<N>& constant) {
        Release();
        data_ = constant.characters;
        return *this;
    }
    ~LdfText() { Release(); }

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
    std::string_view substr(std::size_t from, std::size_t count = std::string_view::npos) const {
        return view().substr(from, count);
    }
    int compare(std::string_view other) const { return view().compare(other); }

    friend bool operator==(const LdfText& a, const LdfText& b) { return a.view() == b.view(); }
    friend bool operator==(const LdfText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const LdfText& a, const char* b) { return a.view() == b; }
    friend bool operator==(const LdfText& a, const std::string& b) { return a.view() == b; }
    friend auto operator<=>(const LdfText& a, const LdfText& b) { return a.view() <=> b.view(); }
    friend auto operator<=>(const LdfText& a, std::string_view b) { return a.view() <=> b; }
    friend std::string operator+(const std::string& a, const LdfText& b) {
        std::string out = a;
        out += b.view();
        return out;
    }
    friend std::string operator+(const char* a, const LdfText& b) {
        std::string out = a;
        out += b.view();
        return out;
    }
    friend std::string operator+(const LdfText& a, std::string_view b) {
        std::string out(a.view());
        out += b;
        return out;
    }
    friend std::ostream& operator<<(std::ostream& out, const LdfText& text) {
        return out << text.view();
    }

  private:
    // The low bit of data_ marks a heap block of the text's own; arena, constant and the shared
    // empty text leave it clear (all are 4-byte aligned).
    static constexpr uintptr_t kOwned = 1;
    static const char* Empty();
    const char* Characters() const {
        return reinterpret_cast<const char*>(reinterpret_cast<uintptr_t>(data_) & ~kOwned);
    }
    bool Owned() const { return (reinterpret_cast<uintptr_t>(data_) & kOwned) != 0; }
    void Release() noexcept;
    void CopyFrom(const LdfText& other);

    const char* data_ = Empty();
};

}  // namespace qm::ldf
