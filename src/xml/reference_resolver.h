#pragma once
// Reference resolution for ARXML, ODX and CDD documents.
//
// While a document is read, every finished element is handed to Collect(): possible targets
// enter an index, reference elements enter a work list. Resolve() then spreads the work list
// over worker threads; each reference gets its target in `link`, or is flagged unresolved and
// reported. The three dialects share the worker plan and the reporting; they differ in what
// they index and how a reference is looked up.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

#include "quillmere/xml.h"
#include "xml/id_table.h"

namespace qm::xml {

// The workers for a machine with that many hardware threads: one less when there are more than
// one, otherwise one (a runtime that cannot tell reports 0).
unsigned WorkerCountFor(unsigned hardwareThreads);
// WorkerCountFor() of this machine.
unsigned DefaultWorkerCount();

class ReferenceResolver {
  public:
    ReferenceResolver() = default;
    virtual ~ReferenceResolver() = default;
    ReferenceResolver(const ReferenceResolver&) = delete;
    ReferenceResolver& operator=(const ReferenceResolver&) = delete;

    // Indexes one finished element (targets and reference elements alike).
    virtual void Collect(NanoXML* node) = 0;
    // Collects every element below root (root excluded, as the reader's callback does), without
    // recursion so that deeply nested documents cannot exhaust the stack.
    void CollectTree(NanoXML* root);
    // A callback for NanoXML::onChildParsed that collects every element as it is completed.
    std::shared_ptr<const NanoXML::ChildCallback> MakeCallback();

    // Resolves the whole work list with the given number of workers (0: DefaultWorkerCount()).
    // Worker i of n takes the entries i, i + n, i + 2n, ...; the caller waits for all of them.
    // The lines for unresolved references are reported in work-list order, whatever the
    // timing of the workers.
    void Resolve(NanoXML* root, unsigned workers = 0);

    NanoXML* Root() const { return root_; }
    size_t PendingCount() const { return WorkCount(); }
    // Unresolved reference elements in work-list order, filled by Resolve().
    const std::vector<NanoXML*>& Unresolved() const { return unresolved_; }

  protected:
    struct Failure {
        size_t entry = 0;
        NanoXML* node = nullptr;
        std::string line;
    };

    virtual size_t WorkCount() const = 0;
    // Resolves one work entry; returns false and fills `failure` when it cannot be resolved.
    virtual bool ResolveEntry(size_t entry, Failure& failure) const = 0;
    // Asks the memory system for what resolving this entry will touch; called a few entries
    // ahead of ResolveEntry, since the lookups are cache misses more than computation.
    virtual void Prefetch(size_t /*entry*/) const {}
    // Where the lines of unresolved references go (the process-wide log unless overridden).
    virtual void Report(const std::string& lines);
    // Builds what the lookups need beyond the collected index; called before the workers start.
    virtual void PrepareLookups() {}
    // Frees what PrepareLookups() built once the workers are done.
    virtual void ReleaseLookups() {}

  private:
    void RunWorker(unsigned workerCount, unsigned worker);

    NanoXML* root_ = nullptr;
    std::mutex mutex_;  // guards failures_ while workers run
    std::vector<Failure> failures_;
    std::vector<NanoXML*> unresolved_;
};

// ARXML: targets are SHORT-NAME elements keyed by (short name, element name of their parent);
// references are "-REF", "-TREF" and "-IREF" elements with a DEST attribute. When several
// elements share a key, the one whose package path equals the reference text wins; failing
// that, the first in document order.
//
// Everything a lookup needs is taken while the element is fresh in the cache, at collection:
// element types are interned to numbers, the key's hash is computed once, and the lookup
// table is an open-addressing array of those hashes, so that the workers touch little more
// than the table and the reference element they link.
class ArxmlReferenceResolver : public ReferenceResolver {
  public:
    void Collect(NanoXML* node) override;
    size_t TargetCount() const { return targets_.size(); }

  protected:
    size_t WorkCount() const override { return references_.size(); }
    bool ResolveEntry(size_t entry, Failure& failure) const override;
    void Prefetch(size_t entry) const override;
    void PrepareLookups() override;
    void ReleaseLookups() override;

  private:
    // A target is its SHORT-NAME element: the name is that element's text and the target the
    // element's parent, both read through the one pointer (16 bytes a target instead of 32).
    struct Target {
        NanoXML* shortName = nullptr;
        uint32_t type = 0;
        uint32_t next = 0;  // index + 1 of the next target with the same key, 0 at the end

        std::string_view Name() const { return shortName->text; }
        NanoXML* Element() const { return shortName->parent; }
    };
    // The path and its short name are taken again from the element's text at resolution,
    // which reads that text anyway: a large system holds hundreds of thousands of references,
    // and their index is part of the load's peak memory.
    struct Reference {
        NanoXML* node = nullptr;
        uint64_t hash = 0;  // of the key; 0 when the text is decoded at resolution
        uint32_t type = 0;
        bool decode = false;  // the text holds '&' (or is empty): decoded at resolution
    };
    struct Slot {
        uint64_t hash = 0;
        uint32_t head = 0;  // index + 1 into targets_, 0 for an empty slot
        uint32_t tail = 0;
    };

    uint32_t TypeId(std::string_view type);
    static uint64_t KeyHash(std::string_view shortName, uint32_t type);
    void AddTarget(NanoXML* shortName);
    void Grow();
    // The slot of that key, or the empty slot where it would go; slots_ must not be empty.
    size_t FindSlot(uint64_t hash, std::string_view shortName, uint32_t type) const;
    NanoXML* Choose(const Slot& slot, std::string_view path) const;
    // The first element in document order of that type whose absolute path is `path`, among
    // the elements of shared keys; null when there is none.
    NanoXML* FindByFullPath(uint32_t type, std::string_view path) const;

    struct TypeHash {
        using is_transparent = void;
        size_t operator()(std::string_view text) const {
            return std::hash<std::string_view>{}(text);
        }
    };
    std::unordered_map<std::string, uint32_t, TypeHash, std::equal_to<>> types_;
    std::vector<Target> targets_;
    std::vector<Slot> slots_;  // size a power of two, at most half full
    std::vector<Reference> references_;
    // For keys held by several elements: each element under the hash of its type and full
    // package path ("/Pkg/Sub/Name"), sorted by that hash and then in document order, so that
    // an absolute reference finds its element without comparing it with every namesake. Built
    // for a resolution and freed after it.
    struct PathEntry {
        uint64_t key = 0;
        uint32_t target = 0;  // index into targets_
    };
    std::vector<PathEntry> pathIndex_;
};

// ODX: identifiers ("ID") and short names keyed by (value, document name); "-REF" elements with
// "ID-REF" and "-SNREF" elements with "SHORT-NAME" are references. The first element of a key
// in collection order is kept.
//
// Both indexes are flat hash tables built once before the workers start: one over the exact
// key (value, document), one over the value alone whose chain lists every entry of a value in
// collection order, for references that name another layer of a container.
class OdxReferenceResolver : public ReferenceResolver {
  public:
    void Collect(NanoXML* node) override;
    // The SHORT-NAME text of the nearest enclosing layer container (node included).
    static std::string_view DocumentName(const NanoXML* node);
    size_t IdentifierCount() const { return identifiers_.Size(); }
    size_t ShortNameCount() const { return shortNames_.Size(); }
    // Reading as written: a reference without DOCREF that its layer does not hold resolves
    // within its own ODX document (the same DIAG-LAYER-CONTAINER, by element or by SHORT-NAME,
    // then the same "ODX" root) before the container rule. Set before Resolve.
    void SetWithinDocument(bool within) { withinDocument_ = within; }

  protected:
    size_t WorkCount() const override { return work_.size(); }
    bool ResolveEntry(size_t entry, Failure& failure) const override;
    void PrepareLookups() override;
    void Prefetch(size_t entry) const override;

  private:
    enum Kind : uint8_t { kIdentifier = 1, kShortName = 2 };

    class Index {
      public:
        void Add(std::string_view value, std::string_view document, NanoXML* node);
        void Build();
        // The exact entry, else, among the kept entries of the value whose container is the
        // document, the one of the least document name (the order of a map by key).
        NanoXML* Find(std::string_view value, std::string_view document) const;
        // The exact entry only.
        NanoXML* FindExact(std::string_view value, std::string_view document) const;
        // The first entry of the value in the same layer container (by element, else by its
        // SHORT-NAME), else the first below the same "ODX" root as `from`.
        NanoXML* FindInDocument(std::string_view value, const NanoXML* from) const;
        size_t Size() const { return entries_.size(); }

      private:
        struct Entry {
            std::string_view value;
            std::string_view document;
            NanoXML* node = nullptr;
            uint64_t valueHash = 0;
            uint32_t nextOfValue = 0;  // index + 1 of the next entry of the same value
            bool kept = false;         // the entry its exact key finds (the first of the key)
        };
        struct Slot {
            uint64_t hash = 0;
            uint32_t entry = 0;  // index + 1, 0 for an empty slot
            uint32_t tail = 0;   // value table: index + 1 of the last entry of the chain
        };
        size_t ExactSlot(uint64_t hash, std::string_view value, std::string_view document) const;
        size_t ValueSlot(uint64_t hash, std::string_view value) const;

        std::vector<Entry> entries_;
        std::vector<Slot> exact_;   // size a power of two, at most half full
        std::vector<Slot> values_;  // likewise
    };

    std::string_view CachedDocumentName(const NanoXML* node);
    bool ResolveIdentifier(NanoXML* node, Failure& failure) const;
    bool ResolveShortName(NanoXML* node, Failure& failure) const;

    // The Part's lookup, or the own document first when reading as written.
    NanoXML* Lookup(const Index& index, std::string_view value, std::string_view docRef,
                    const NanoXML* node) const;

    Index identifiers_;
    Index shortNames_;
    bool withinDocument_ = false;
    std::vector<std::pair<NanoXML*, Kind>> work_;
    // Siblings share their document: the last parent asked about and its answer.
    const NanoXML* lastParent_ = nullptr;
    std::string_view lastDocument_;
};

// CDD: elements with an "id" attribute are targets, elements with "idref" are references.
// Unresolved lines go to the resolver's own message text.
class CddReferenceResolver : public ReferenceResolver {
  public:
    void Collect(NanoXML* node) override;
    const std::string& Messages() const { return messages_; }
    // Every collected element with an "id", the first collected of each value.
    const IdTable& Identifiers() const { return identifiers_; }
    // The number of elements collected.
    size_t CollectedCount() const { return collected_; }

  protected:
    size_t WorkCount() const override { return work_.size(); }
    bool ResolveEntry(size_t entry, Failure& failure) const override;
    void Report(const std::string& lines) override { messages_ += lines; }

  private:
    IdTable identifiers_;
    std::vector<NanoXML*> work_;
    std::string messages_;
    size_t collected_ = 0;
};

}  // namespace qm::xml
