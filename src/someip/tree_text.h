#pragma once
// A model text that is either its own copy or a view of an element's text in the database's
// tree. The database keeps its tree as long as the model read from it, and nothing edits the
// tree's texts, so a view stays valid as long as the object holding it. A view costs no block
// of its own: structure members repeat their type names hundreds of thousands of times.
#include <cstddef>
#include <cstring>
#include <string>
#include <string_view>
#include <utility>

namespace qm::someip {

class TreeText {
  public:
    TreeText() = default;
    ~TreeText() { Release(); }
    TreeText(const TreeText& other) { Copy(other.view()); }
    TreeText& operator=(const TreeText& other) { return *this = other.view(); }

    TreeText& operator=(std::string_view text) {
        TreeText copy;
        copy.Copy(text);  // before releasing: text may be this one's own
        Swap(copy);
        return *this;
    }
    TreeText& operator=(const std::string& text) { return *this = std::string_view(text); }
    TreeText& operator=(const char* text) { return *this = std::string_view(text ? text : ""); }

    // Refers to text, which stays alive and unchanged as long as this one refers to it.
    void Refer(const std::string& text) {
        Release();
        data_ = text.c_str();
        size_ = text.size();
    }

    const char* c_str() const { return data_; }
    std::string_view view() const { return {data_, size_ & ~kOwned}; }
    bool empty() const { return (size_ & ~kOwned) == 0; }
    void clear() { Release(); }

  private:
    // The top bit of the size marks a copy of its own.
    static constexpr size_t kOwned = ~(~size_t{0} >> 1);

    void Copy(std::string_view text) {
        if (text.empty()) return;
        char* copy = new char[text.size() + 1];
        std::memcpy(copy, text.data(), text.size());
        copy[text.size()] = '\0';
        data_ = copy;
        size_ = text.size() | kOwned;
    }
    void Release() {
        if ((size_ & kOwned) != 0) delete[] data_;
        data_ = "";
        size_ = 0;
    }
    void Swap(TreeText& other) {
        std::swap(data_, other.data_);
        std::swap(size_, other.size_);
    }

    const char* data_ = "";
    size_t size_ = 0;
};

}  // namespace qm::someip
