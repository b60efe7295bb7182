#include "diag/shared_text.h"

#include <cstring>
#include <new>

namespace qm::diag {

SharedText::Rep* SharedText::Make(std::string_view text) {
    if (text.empty()) return nullptr;
    void* memory = ::operator new(sizeof(Rep) + text.size() + 1);
    Rep* rep = new (memory) Rep{{1}, text.size()};
    std::memcpy(rep->chars(), text.data(), text.size());
    rep->chars()[text.size()] = '\0';
    return rep;
}

void SharedText::Free(Rep* rep) {
    rep->~Rep();
    ::operator delete(static_cast<void*>(rep));
}

const SharedText& TextCache::Intern(std::string_view text) {
    static const SharedText kEmpty;
    if (text.empty()) return kEmpty;
    for (const SharedText* recent : recent_) {
        if (recent != nullptr && recent->view() == text) return *recent;
    }
    auto found = texts_.find(text);
    if (found == texts_.end()) {
        SharedText shared(text);
        const std::string_view key = shared.view();
        found = texts_.emplace(key, std::move(shared)).first;
    }
    recent_[nextRecent_] = &found->second;
    nextRecent_ = (nextRecent_ + 1) % kRecent;
    return found->second;
}

void TextCache::Clear() {
    texts_.clear();
    for (const SharedText*& recent : recent_) recent = nullptr;
    nextRecent_ = 0;
}

SharedText RecentText(std::string_view text) {
    constexpr size_t kCapacity = 4096;
    thread_local TextCache cache;
    if (cache.Size() >= kCapacity) cache.Clear();
    return cache.Intern(text);
}

}  // namespace qm::diag
