#pragma once
// One of the facade's lists of owned objects: creation order, destruction on removal.
#include <algorithm>
#include <vector>

template <class Concrete, class Interface>
class OwnedList {
public:
    OwnedList() = default;
    OwnedList(const OwnedList&) = delete;
    OwnedList& operator=(const OwnedList&) = delete;
    ~OwnedList() { DestroyAll(); }

    Concrete* Add(Concrete* object) {
        items_.push_back(object);
        return object;
    }

    // Removes every entry equal to the object and destroys it. An object of another kind, or one
    // this list does not hold (it belongs to another facade or is gone already), is left alone.
    bool Remove(Interface* object) {
        if (object == nullptr) return false;
        auto* concrete = dynamic_cast<Concrete*>(object);
        if (concrete == nullptr) return false;
        const size_t before = items_.size();
        std::erase(items_, concrete);
        if (items_.size() == before) return false;
        delete concrete;
        return true;
    }

    // Destroys every object in creation order and empties the list.
    void DestroyAll() {
        std::vector<Concrete*> doomed;
        doomed.swap(items_);
        for (Concrete* object : doomed) delete object;
    }

    const std::vector<Concrete*>& Items() const { return items_; }
    bool Empty() const { return items_.empty(); }
    Concrete* Newest() const { return items_.empty() ? nullptr : items_.back(); }

private:
    std::vector<Concrete*> items_;
};
