#pragma once
// A text that most objects of a kind leave empty: one pointer while empty, a block of its own
// only once set. Hundreds of thousands of structure members carry an element type or an
// enumeration name only when they are arrays or enumerations.
#include <memory>
#include <string>

namespace qm::someip {

class SparseText {
  public:
    SparseText() = default;
    SparseText(const SparseText& other) { *this = other.str(); }
    SparseText& operator=(const SparseText& other) { return *this = other.str(); }
    SparseText(SparseText&&) noexcept = default;
    SparseText& operator=(SparseText&&) noexcept = default;

    SparseText& operator=(std::string text) {
        if (text.empty()) {
            text_.reset();
        } else if (text_) {
            *text_ = std::move(text);
        } else {
            text_ = std::make_unique<std::string>(std::move(text));
        }
        return *this;
    }
    SparseText& operator=(const char* text) { return *this = std::string(text ? text : ""); }

    bool empty() const { return !text_; }
    void clear() { text_.reset(); }
    // Zero-terminated; stays valid until the text is set again.
    const char* c_str() const { return text_ ? text_->c_str() : ""; }
    const std::string& str() const { return text_ ? *text_ : Empty(); }

  private:
    static const std::string& Empty() {
        static const std::string kEmpty;
        return kEmpty;
    }

    std::unique_ptr<std::string> text_;
};

}  // namespace qm::someip
