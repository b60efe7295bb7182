#pragma once
// Ownership of the library objects seen from Python. Every Python object that reaches into a
// model holds a shared pointer to the document it came from, and every document holds the
// facade that owns its file object: whatever order the collector frees things in, the facade
// goes last and takes every library object with it.
#include <memory>

#include "quillmere/quillmere.h"
#include "text.h"

namespace qmpy {

// One facade instance. Creating and deleting instances touches the library's process-wide
// instance list, which is not locked; both happen with the interpreter lock held, which
// serialises them.
class Facade {
  public:
    Facade();
    ~Facade();
    Facade(const Facade&) = delete;
    Facade& operator=(const Facade&) = delete;

    IQuillmere* Get() const { return instance_; }

  private:
    IQuillmere* instance_;
};

// What every document shares: the facade that owns its objects and its text rule.
struct DocumentBase {
    std::shared_ptr<Facade> facade;
    TextRule text;
};

// A model object together with the document that keeps it alive.
template <class Document, class Object>
struct Ref {
    std::shared_ptr<Document> doc;
    Object* object;
};

}  // namespace qmpy
