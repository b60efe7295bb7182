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

    // Removes every entry that is this object and destroys it. The pointer is only compared with
    // the listed objects, never dereferenced, so an object of another facade, or one deleted
    // already, is left alone safely.
    bool Remove(Interface* object) {
        if (object == nullptr) return false;
        Concrete* found = nullptr;
        std::erase_if(items_, [&](Concrete* item) {
            if (static_cast<Interface*>(item) != object) return false;
            found = item;
            return true;
        });
        delete found;
        return found != nullptr;
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
