#pragma once
// Texts that many objects of the diagnostic model hold alike (type names, units, data type
// references, semantics): one immutable, reference-counted buffer shared by every holder, so
// that each holder pays one pointer instead of a whole string, and copies of parameters (narrowed
// identifier copies, service groups) share their texts instead of duplicating them.
#include <atomic>
#include <cstddef>
#include <ostream>
#include <string>
#include <string_view>
#include <unordered_map>

namespace qm::diag {

class SharedText {
  public:
    SharedText() = default;
    SharedText(std::string_view text) : rep_(Make(text)) {}  // NOLINT: a text converts freely
    SharedText(const char* text) : SharedText(std::string_view(text ? text : "")) {}  // NOLINT
    SharedText(const std::string& text) : SharedText(std::string_view(text)) {}       // NOLINT
    SharedText(const SharedText& other) noexcept : rep_(other.rep_) { Retain(rep_); }
    SharedText(SharedText&& other) noexcept : rep_(other.rep_) { other.rep_ = nullptr; }
    ~SharedText() { Drop(rep_); }

    SharedText& operator=(const SharedText& other) noexcept {
        Retain(other.rep_);
        Drop(rep_);
        rep_ = other.rep_;
        return *this;
    }
    SharedText& operator=(SharedText&& other) noexcept {
        if (this != &other) {
            Drop(rep_);
            rep_ = other.rep_;
            other.rep_ = nullptr;
        }
        return *this;
    }
    SharedText& operator=(std::string_view text) { return *this = SharedText(text); }
    SharedText& operator=(const char* text) { return *this = SharedText(text); }
    SharedText& operator=(const std::string& text) { return *this = SharedText(text); }

    const char* c_str() const { return rep_ ? rep_->chars() : ""; }
    size_t size() const { return rep_ ? rep_->size : 0; }
    bool empty() const { return rep_ == nullptr; }
    void clear() {
        Drop(rep_);
        rep_ = nullptr;
    }
    std::string_view view() const { return {c_str(), size()}; }
    operator std::string_view() const { return view(); }  // NOLINT: reads like a string
    std::string str() const { return std::string(view()); }
    // Whether both hold the very same buffer (not merely equal texts).
    bool SharesWith(const SharedText& other) const { return rep_ != nullptr && rep_ == other.rep_; }

    friend bool operator==(const SharedText& a, const SharedText& b) {
        return a.rep_ == b.rep_ || a.view() == b.view();
    }
    friend bool operator==(const SharedText& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const SharedText& a, const char* b) {
        return a.view() == std::string_view(b ? b : "");
    }
    friend bool operator==(const SharedText& a, const std::string& b) {
        return a.view() == std::string_view(b);
    }
    friend std::ostream& operator<<(std::ostream& out, const SharedText& text) {
        return out << text.view();
    }

  private:
    // The characters follow the header in the same allocation, with a closing zero.
    struct Rep {
        std::atomic<size_t> references;
        size_t size;
        char* chars() { return reinterpret_cast<char*>(this + 1); }
    };

    static Rep* Make(std::string_view text);
    static void Retain(Rep* rep) {
        if (rep) rep->references.fetch_add(1, std::memory_order_relaxed);
    }
    static void Drop(Rep* rep) {
        if (rep && rep->references.fetch_sub(1, std::memory_order_acq_rel) == 1) Free(rep);
    }
    static void Free(Rep* rep);

    Rep* rep_ = nullptr;
};

// Hands out one shared buffer per distinct text while a reader builds a model: a text seen a
// second time costs a lookup and a reference, not an allocation.
class TextCache {
  public:
    const SharedText& Intern(std::string_view text);
    void Clear();
    size_t Size() const { return texts_.size(); }

  private:
    // Keys view the characters of their own value, which never move.
    std::unordered_map<std::string_view, SharedText> texts_;
    // The last few texts handed out: a reader asks for the same few names over and over, and
    // comparing a short text is cheaper than hashing it.
    static constexpr size_t kRecent = 4;
    const SharedText* recent_[kRecent] = {};
    size_t nextRecent_ = 0;
};

// The text from a small per-thread cache, for readers without a cache of their own: repeated
// texts share a buffer. The cache is bounded (it starts over when full).
SharedText RecentText(std::string_view text);

}  // namespace qm::diag
