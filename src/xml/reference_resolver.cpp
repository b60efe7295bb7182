#include "xml/reference_resolver.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <thread>

#include "platform/open_table.h"

namespace qm::xml {

namespace {

bool EndsWith(std::string_view text, std::string_view suffix) {
    // The last character first: it tells most element names apart without a call to memcmp.
    return text.size() >= suffix.size() && (suffix.empty() || text.back() == suffix.back()) &&
           text.substr(text.size() - suffix.size()) == suffix;
}

// The value of the first attribute of that name, without copying; empty when absent.
std::string_view AttributeView(const NanoXML* node, std::string_view name) {
    for (const NanoXMLAttribute& attribute : node->attributes) {
        if (attribute.name == name) return attribute.value;
    }
    return {};
}

// The last segment of a reference path: the short name the reference points to.
std::string_view ShortNameOfPath(std::string_view path) {
    const size_t slash = path.rfind('/');
    return slash == std::string_view::npos ? path : path.substr(slash + 1);
}

// The text a reference element names. Most texts need no decoding and are used in place;
// `storage` holds the decoded copy for the others.
std::string_view ReferenceText(const NanoXML* node, std::string& storage) {
    if (!node->text.empty() && node->text.find('&') == std::string::npos) return node->text;
    storage = node->GetText();
    return storage;
}

// An identifiable element names itself in its first child; looking only at the first few
// children keeps the package-path comparison independent of the size of ELEMENTS lists.
const NanoXML* ShortNameChild(const NanoXML* node) {
    const size_t count = std::min<size_t>(node->children.size(), 3);
    for (size_t i = 0; i < count; ++i) {
        if (node->children[i]->name == "SHORT-NAME") return node->children[i];
    }
    return nullptr;
}

// True when the short names of element and its ancestors spell `path` ("/Pkg/Sub/Name"); a path
// without a leading "/" only has to match the innermost names.
bool PackagePathMatches(const NanoXML* element, std::string_view path) {
    std::string_view rest = path;
    for (const NanoXML* current = element; current != nullptr; current = current->parent) {
        const NanoXML* shortName = ShortNameChild(current);
        if (shortName == nullptr) continue;
        if (rest.empty() || !EndsWith(rest, shortName->text)) return false;
        rest.remove_suffix(shortName->text.size());
        if (rest.empty()) return true;  // a relative path, consumed
        if (rest.back() != '/') return false;
        rest.remove_suffix(1);
    }
    return rest.empty();
}

// True when "/" and the short names of element and its named ancestors, outermost first, spell
// exactly `path`: the absolute path of element that PackagePathMatches() accepts.
bool FullPackagePathEquals(const NanoXML* element, std::string_view path) {
    std::string_view rest = path;
    for (const NanoXML* current = element; current != nullptr; current = current->parent) {
        const NanoXML* shortName = ShortNameChild(current);
        if (shortName == nullptr) continue;
        const std::string_view name = shortName->text;
        if (rest.size() <= name.size() || !EndsWith(rest, name)) return false;
        rest.remove_suffix(name.size());
        if (rest.back() != '/') return false;
        rest.remove_suffix(1);
    }
    return rest.empty();
}

constexpr uint64_t kFnvBasis = 0xcbf29ce484222325ULL;
constexpr uint64_t kFnvPrime = 0x100000001b3ULL;

uint64_t ExtendHash(uint64_t hash, std::string_view text) {
    for (const char c : text) hash = (hash ^ static_cast<unsigned char>(c)) * kFnvPrime;
    return hash;
}

// The FNV-1a hash of an element's absolute package path (see FullPackagePathEquals), built
// without writing the path out. The hashes of ancestors are kept, so that every element of the
// tree is climbed past at most once however many namesakes sit below it.
class PackagePathHashes {
  public:
    uint64_t Of(const NanoXML* element) { return Extend(OfAncestors(element->parent), element); }

  private:
    static uint64_t Extend(uint64_t hash, const NanoXML* node) {
        const NanoXML* shortName = ShortNameChild(node);
        if (shortName == nullptr) return hash;
        return ExtendHash(ExtendHash(hash, "/"), shortName->text);
    }

    uint64_t OfAncestors(const NanoXML* node) {
        chain_.clear();
        uint64_t hash = kFnvBasis;
        for (; node != nullptr; node = node->parent) {
            const auto known = known_.find(node);
            if (known != known_.end()) {
                hash = known->second;
                break;
            }
            chain_.push_back(node);
        }
        for (auto it = chain_.rbegin(); it != chain_.rend(); ++it) {
            hash = Extend(hash, *it);
            known_.emplace(*it, hash);
        }
        return hash;
    }

    std::unordered_map<const NanoXML*, uint64_t> known_;
    std::vector<const NanoXML*> chain_;
};

// The key of the path index: the path's hash with the element type mixed in.
uint64_t PathKey(uint64_t pathHash, uint32_t type) {
    const uint64_t key = pathHash ^ (static_cast<uint64_t>(type) * 0x9e3779b97f4a7c15ULL);
    return key ^ (key >> 31);
}

constexpr std::array<std::string_view, 8> kOdxLayerContainers = {
    "ECU-SHARED-DATA", "FUNCTIONAL-GROUP", "BASE-VARIANT",  "PROTOCOL",
    "ECU-VARIANT",     "COMPARAM-SUBSET",  "COMPARAM-SPEC", "PROT-STACK"};

bool IsOdxLayerContainer(std::string_view name) {
    return std::find(kOdxLayerContainers.begin(), kOdxLayerContainers.end(), name) !=
           kOdxLayerContainers.end();
}

void MarkResolved(NanoXML* node, NanoXML* target) {
    node->link = target;
    node->flags =
        static_cast<uint8_t>((node->flags | NanoXML::kFlagReference) & ~NanoXML::kFlagUnresolved);
}

void MarkUnresolved(NanoXML* node) {
    node->flags |= NanoXML::kFlagUnresolved;
}

std::string UnresolvedLine(std::string_view prefix, const NanoXML* node, std::string_view value) {
    std::string line;
    line.reserve(prefix.size() + node->name.size() + value.size() + 12);
    line.append(prefix).append("\"").append(node->name).append("\" ID=\"");
    line.append(value).append("\"\r\n");
    return line;
}

}  // namespace

unsigned WorkerCountFor(unsigned hardwareThreads) {
    return hardwareThreads > 1 ? hardwareThreads - 1 : 1;
}

unsigned DefaultWorkerCount() {
    return WorkerCountFor(std::thread::hardware_concurrency());
}

// ---------------------------------------------------------------------------------------------
// Shared worker plan

void ReferenceResolver::CollectTree(NanoXML* root) {
    if (root == nullptr) return;
    // Post-order without recursion, so that elements are collected in the order the reader
    // completes them.
    std::vector<std::pair<NanoXML*, size_t>> stack;
    stack.emplace_back(root, 0);
    while (!stack.empty()) {
        auto& [node, next] = stack.back();
        if (next < node->children.size()) {
            NanoXML* child = node->children[next++];
            stack.emplace_back(child, 0);
            continue;
        }
        NanoXML* done = node;
        stack.pop_back();
        if (done != root) Collect(done);
    }
}

std::shared_ptr<const NanoXML::ChildCallback> ReferenceResolver::MakeCallback() {
    return std::make_shared<const NanoXML::ChildCallback>([this](NanoXML* node) { Collect(node); });
}

void ReferenceResolver::Resolve(NanoXML* root, unsigned workers) {
    root_ = root;
    PrepareLookups();
    failures_.clear();
    unresolved_.clear();
    const size_t count = WorkCount();
    unsigned workerCount = workers != 0 ? workers : DefaultWorkerCount();
    if (workerCount > count) workerCount = count > 0 ? static_cast<unsigned>(count) : 1;

    if (workerCount == 1) {
        RunWorker(1, 0);
    } else {
        std::vector<std::thread> threads;
        threads.reserve(workerCount);
        try {
            for (unsigned i = 0; i < workerCount; ++i) {
                threads.emplace_back(&ReferenceResolver::RunWorker, this, workerCount, i);
            }
        } catch (...) {
            for (std::thread& thread : threads) thread.join();
            throw;
        }
        for (std::thread& thread : threads) thread.join();
    }

    // Work-list order makes the report independent of which worker finished first.
    std::sort(failures_.begin(), failures_.end(),
              [](const Failure& a, const Failure& b) { return a.entry < b.entry; });
    std::string lines;
    unresolved_.reserve(failures_.size());
    for (const Failure& failure : failures_) {
        unresolved_.push_back(failure.node);
        lines += failure.line;
    }
    failures_.clear();
    failures_.shrink_to_fit();
    ReleaseLookups();
    if (!lines.empty()) Report(lines);
}

void ReferenceResolver::RunWorker(unsigned workerCount, unsigned worker) {
    std::vector<Failure> local;
    const size_t count = WorkCount();
    constexpr size_t kAhead = 8;
    for (size_t entry = worker; entry < count; entry += workerCount) {
        const size_t ahead = entry + kAhead * workerCount;
        if (ahead < count) Prefetch(ahead);
        Failure failure;
        if (!ResolveEntry(entry, failure)) {
            failure.entry = entry;
            local.push_back(std::move(failure));
        }
    }
    if (local.empty()) return;
    std::lock_guard<std::mutex> lock(mutex_);
    std::move(local.begin(), local.end(), std::back_inserter(failures_));
}

void ReferenceResolver::Report(const std::string& lines) {
    NanoXML::AppendMessage(lines);
}

// ---------------------------------------------------------------------------------------------
// ARXML

uint32_t ArxmlReferenceResolver::TypeId(std::string_view type) {
    const auto it = types_.find(type);
    if (it != types_.end()) return it->second;
    const auto id = static_cast<uint32_t>(types_.size() + 1);
    types_.emplace(std::string(type), id);
    return id;
}

uint64_t ArxmlReferenceResolver::KeyHash(std::string_view shortName, uint32_t type) {
    // FNV-1a over the name, then the type mixed in; the result never is 0.
    uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : shortName) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    hash ^= static_cast<uint64_t>(type) * 0x9e3779b97f4a7c15ULL;
    hash ^= hash >> 29;
    return hash | 1;
}

size_t ArxmlReferenceResolver::FindSlot(uint64_t hash, std::string_view shortName,
                                        uint32_t type) const {
    const size_t mask = slots_.size() - 1;
    for (size_t i = hash & mask;; i = (i + 1) & mask) {
        const Slot& slot = slots_[i];
        if (slot.head == 0) return i;
        if (slot.hash != hash) continue;
        const Target& first = targets_[slot.head - 1];
        if (first.type == type && first.Name() == shortName) return i;
    }
}

void ArxmlReferenceResolver::Grow() {
    platform::GrowTable(slots_, 1024, [](const Slot& slot) { return slot.head != 0; });
}

void ArxmlReferenceResolver::AddTarget(NanoXML* shortName) {
    const std::string_view type =
        shortName->parent ? std::string_view(shortName->parent->name) : "";
    Target target{shortName, TypeId(type), 0};
    const uint64_t hash = KeyHash(target.Name(), target.type);
    // Growing first keeps the table at most half full, so every probe ends at an empty slot.
    if ((targets_.size() + 1) * 2 > slots_.size()) Grow();
    targets_.push_back(target);
    const auto index = static_cast<uint32_t>(targets_.size());
    Slot& slot = slots_[FindSlot(hash, target.Name(), target.type)];
    if (slot.head != 0) {
        targets_[slot.tail - 1].next = index;
        slot.tail = index;
    } else {
        slot = Slot{hash, index, index};
    }
}

void ArxmlReferenceResolver::Collect(NanoXML* node) {
    const std::string& name = node->name;
    if (name == "SHORT-NAME") {
        AddTarget(node);
        return;
    }
    if (!EndsWith(name, "-REF") && !EndsWith(name, "-TREF") && !EndsWith(name, "-IREF")) return;
    const std::string_view dest = AttributeView(node, "DEST");
    if (dest.empty()) return;
    Reference reference;
    reference.node = node;
    reference.decode = node->text.empty() || node->text.find('&') != std::string::npos;
    reference.type = TypeId(dest);
    reference.hash = reference.decode ? 0 : KeyHash(ShortNameOfPath(node->text), reference.type);
    references_.push_back(reference);
}

void ArxmlReferenceResolver::PrepareLookups() {
    pathIndex_.clear();
    // Only keys held by several elements need the path to choose among them.
    std::vector<uint8_t> shared(targets_.size(), 0);
    size_t sharedCount = 0;
    for (const Slot& slot : slots_) {
        if (slot.head == 0 || slot.head == slot.tail) continue;
        for (uint32_t i = slot.head; i != 0; i = targets_[i - 1].next) {
            shared[i - 1] = 1;
            ++sharedCount;
        }
    }
    // Document order, so that ancestors are met while fresh and equal keys stay in that order.
    pathIndex_.reserve(sharedCount);
    PackagePathHashes hashes;
    for (size_t i = 0; i < targets_.size(); ++i) {
        const Target& target = targets_[i];
        if (shared[i] == 0 || target.Element() == nullptr) continue;
        pathIndex_.push_back(
            PathEntry{PathKey(hashes.Of(target.Element()), target.type), static_cast<uint32_t>(i)});
    }
    std::stable_sort(pathIndex_.begin(), pathIndex_.end(),
                     [](const PathEntry& a, const PathEntry& b) { return a.key < b.key; });
}

void ArxmlReferenceResolver::ReleaseLookups() {
    pathIndex_.clear();
    pathIndex_.shrink_to_fit();
}

NanoXML* ArxmlReferenceResolver::FindByFullPath(uint32_t type, std::string_view path) const {
    const uint64_t key = PathKey(ExtendHash(kFnvBasis, path), type);
    auto it = std::lower_bound(pathIndex_.begin(), pathIndex_.end(), key,
                               [](const PathEntry& entry, uint64_t k) { return entry.key < k; });
    for (; it != pathIndex_.end() && it->key == key; ++it) {
        const Target& target = targets_[it->target];
        if (target.type == type && FullPackagePathEquals(target.Element(), path)) {
            return target.Element();
        }
    }
    return nullptr;
}

NanoXML* ArxmlReferenceResolver::Choose(const Slot& slot, std::string_view path) const {
    const Target& first = targets_[slot.head - 1];
    if (first.next == 0) return first.Element();
    if (!path.empty() && path.front() == '/') {
        // An absolute path matches only the element whose full path it is.
        if (NanoXML* element = FindByFullPath(first.type, path)) return element;
    } else {
        for (uint32_t i = slot.head; i != 0; i = targets_[i - 1].next) {
            NanoXML* element = targets_[i - 1].Element();
            if (element != nullptr && PackagePathMatches(element, path)) return element;
        }
    }
    for (uint32_t i = slot.head; i != 0; i = targets_[i - 1].next) {
        if (NanoXML* element = targets_[i - 1].Element()) return element;
    }
    return nullptr;
}

void ArxmlReferenceResolver::Prefetch(size_t entry) const {
    const Reference& reference = references_[entry];
    if (!slots_.empty()) __builtin_prefetch(&slots_[reference.hash & (slots_.size() - 1)]);
    __builtin_prefetch(reference.node, 1);
}

bool ArxmlReferenceResolver::ResolveEntry(size_t entry, Failure& failure) const {
    const Reference& reference = references_[entry];
    std::string decoded;
    const std::string_view path = reference.decode ? ReferenceText(reference.node, decoded)
                                                   : std::string_view(reference.node->text);
    const std::string_view shortName = ShortNameOfPath(path);
    const uint64_t hash = reference.decode ? KeyHash(shortName, reference.type) : reference.hash;
    const Slot* slot =
        slots_.empty() ? nullptr : &slots_[FindSlot(hash, shortName, reference.type)];
    if (slot != nullptr && slot->head != 0) {
        if (NanoXML* target = Choose(*slot, path)) {
            reference.node->link = target;
            return true;
        }
    }
    failure.node = reference.node;
    failure.line.append("Unresolved reference of: \"").append(path).append("\"\r\n");
    MarkUnresolved(reference.node);
    return false;
}

// ---------------------------------------------------------------------------------------------
// ODX

std::string_view OdxReferenceResolver::DocumentName(const NanoXML* node) {
    for (const NanoXML* current = node; current != nullptr; current = current->parent) {
        if (!IsOdxLayerContainer(current->name)) continue;
        for (const NanoXML* child : current->children) {
            if (child->name == "SHORT-NAME") return child->text;
        }
        return {};
    }
    return {};
}

namespace {

// Eight bytes a step: identifiers run to dozens of characters and are hashed for every
// element that has one.
uint64_t TextHash(std::string_view text, uint64_t seed) {
    constexpr uint64_t kMultiplier = 0x9e3779b97f4a7c15ULL;
    uint64_t hash = seed ^ text.size();
    const char* at = text.data();
    size_t left = text.size();
    for (; left >= 8; at += 8, left -= 8) {
        uint64_t word = 0;
        std::memcpy(&word, at, 8);
        hash = (hash ^ word) * kMultiplier;
        hash ^= hash >> 32;
    }
    uint64_t tail = 0;
    if (left > 0) std::memcpy(&tail, at, left);
    hash = (hash ^ tail) * kMultiplier;
    hash ^= hash >> 29;
    hash *= 0xbf58476d1ce4e5b9ULL;
    hash ^= hash >> 32;
    return hash | 1;  // never 0, the mark of an empty slot
}

constexpr uint64_t kHashSeed = 0xcbf29ce484222325ULL;

uint64_t KeyHash(uint64_t valueHash, std::string_view document) {
    return TextHash(document, valueHash * 0x9e3779b97f4a7c15ULL);
}

size_t TableSizeFor(size_t entries) {
    size_t size = 16;
    while (size < entries * 2) size *= 2;
    return size;
}

}  // namespace

void OdxReferenceResolver::Index::Add(std::string_view value, std::string_view document,
                                      NanoXML* node) {
    entries_.push_back(Entry{value, document, node, TextHash(value, kHashSeed), 0});
}

size_t OdxReferenceResolver::Index::ExactSlot(uint64_t hash, std::string_view value,
                                              std::string_view document) const {
    const size_t mask = exact_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = exact_[at];
        if (slot.entry == 0) return at;
        if (slot.hash != hash) continue;
        const Entry& entry = entries_[slot.entry - 1];
        if (entry.value == value && entry.document == document) return at;
    }
}

size_t OdxReferenceResolver::Index::ValueSlot(uint64_t hash, std::string_view value) const {
    const size_t mask = values_.size() - 1;
    for (size_t at = hash & mask;; at = (at + 1) & mask) {
        const Slot& slot = values_[at];
        if (slot.entry == 0) return at;
        if (slot.hash == hash && entries_[slot.entry - 1].value == value) return at;
    }
}

void OdxReferenceResolver::Index::Build() {
    exact_.assign(TableSizeFor(entries_.size()), Slot{});
    values_.assign(TableSizeFor(entries_.size()), Slot{});
    for (size_t i = 0; i < entries_.size(); ++i) {
        Entry& entry = entries_[i];
        const uint32_t number = static_cast<uint32_t>(i + 1);
        const uint64_t key = KeyHash(entry.valueHash, entry.document);
        Slot& exact = exact_[ExactSlot(key, entry.value, entry.document)];
        if (exact.entry == 0) {  // the first of a key wins
            exact = Slot{key, number, 0};
            entry.kept = true;
        }
        Slot& chain = values_[ValueSlot(entry.valueHash, entry.value)];
        if (chain.entry == 0) {
            chain = Slot{entry.valueHash, number, number};
        } else {
            entries_[chain.tail - 1].nextOfValue = number;
            chain.tail = number;
        }
    }
}

NanoXML* OdxReferenceResolver::Index::Find(std::string_view value,
                                           std::string_view document) const {
    if (entries_.empty()) return nullptr;
    const uint64_t valueHash = TextHash(value, kHashSeed);
    const Slot& exact = exact_[ExactSlot(KeyHash(valueHash, document), value, document)];
    if (exact.entry != 0) return entries_[exact.entry - 1].node;
    // Otherwise the value may live in another layer of the container that the document names.
    // The index is a map ordered by (value, document) with one entry per key, so its first
    // entry of the value that qualifies is the kept one of the least document name.
    const Slot& chain = values_[ValueSlot(valueHash, value)];
    const Entry* best = nullptr;
    for (uint32_t at = chain.entry; at != 0; at = entries_[at - 1].nextOfValue) {
        const Entry& entry = entries_[at - 1];
        if (!entry.kept || (best != nullptr && entry.document >= best->document)) continue;
        const NanoXML* container = NanoXML::FindAncestor(entry.node, "DIAG-LAYER-CONTAINER");
        if (container == nullptr) continue;
        for (const NanoXML* child : container->children) {
            if (child->name == "SHORT-NAME") {
                if (child->text == document) best = &entry;
                break;
            }
        }
    }
    return best != nullptr ? best->node : nullptr;
}

NanoXML* OdxReferenceResolver::Index::FindExact(std::string_view value,
                                                std::string_view document) const {
    if (entries_.empty()) return nullptr;
    const uint64_t valueHash = TextHash(value, kHashSeed);
    const Slot& exact = exact_[ExactSlot(KeyHash(valueHash, document), value, document)];
    return exact.entry != 0 ? entries_[exact.entry - 1].node : nullptr;
}

namespace {

std::string_view ContainerName(const NanoXML* container) {
    if (container == nullptr) return {};
    for (const NanoXML* child : container->children) {
        if (child->name == "SHORT-NAME") return child->text;
    }
    return {};
}

const NanoXML* OdxRootOf(const NanoXML* node) {
    return NanoXML::FindAncestor(const_cast<NanoXML*>(node), "ODX");
}

}  // namespace

NanoXML* OdxReferenceResolver::Index::FindInDocument(std::string_view value,
                                                     const NanoXML* from) const {
    if (entries_.empty()) return nullptr;
    const NanoXML* container =
        NanoXML::FindAncestor(const_cast<NanoXML*>(from), "DIAG-LAYER-CONTAINER");
    const std::string_view containerName = ContainerName(container);
    const NanoXML* root = OdxRootOf(from);
    const Slot& chain = values_[ValueSlot(TextHash(value, kHashSeed), value)];
    NanoXML* sameName = nullptr;
    NanoXML* sameRoot = nullptr;
    for (uint32_t at = chain.entry; at != 0; at = entries_[at - 1].nextOfValue) {
        NanoXML* node = entries_[at - 1].node;
        const NanoXML* own = NanoXML::FindAncestor(node, "DIAG-LAYER-CONTAINER");
        if (container != nullptr && own == container) return node;
        if (sameName == nullptr && own != nullptr && !containerName.empty() &&
            ContainerName(own) == containerName)
            sameName = node;
        if (sameRoot == nullptr && root != nullptr && OdxRootOf(node) == root) sameRoot = node;
    }
    return sameName != nullptr ? sameName : sameRoot;
}

NanoXML* OdxReferenceResolver::Lookup(const Index& index, std::string_view value,
                                      std::string_view docRef, const NanoXML* node) const {
    if (!withinDocument_ || !docRef.empty()) {
        return index.Find(value, docRef.empty() ? DocumentName(node) : docRef);
    }
    const std::string_view document = DocumentName(node);
    if (NanoXML* target = index.FindExact(value, document)) return target;
    if (NanoXML* target = index.FindInDocument(value, node)) return target;
    return index.Find(value, document);
}

std::string_view OdxReferenceResolver::CachedDocumentName(const NanoXML* node) {
    if (IsOdxLayerContainer(node->name) || node->parent == nullptr) return DocumentName(node);
    if (node->parent == lastParent_) return lastDocument_;
    const std::string_view document = DocumentName(node->parent);
    // While a document is read, a layer without a name yet may get its SHORT-NAME after some of
    // its children: only a name, which can no longer change, is kept for the siblings.
    if (!document.empty()) {
        lastParent_ = node->parent;
        lastDocument_ = document;
    }
    return document;
}

void OdxReferenceResolver::Collect(NanoXML* node) {
    const std::string_view id = AttributeView(node, "ID");
    if (!id.empty()) identifiers_.Add(id, CachedDocumentName(node), node);
    const std::string& name = node->name;
    if (name == "SHORT-NAME") shortNames_.Add(node->text, CachedDocumentName(node), node);
    if (EndsWith(name, "-REF") && !AttributeView(node, "ID-REF").empty()) {
        work_.emplace_back(node, kIdentifier);
        node->flags |= NanoXML::kFlagReference;
    } else if (EndsWith(name, "-SNREF") && !AttributeView(node, "SHORT-NAME").empty()) {
        work_.emplace_back(node, kShortName);
        node->flags |= NanoXML::kFlagReference;
    }
}

void OdxReferenceResolver::PrepareLookups() {
    identifiers_.Build();
    shortNames_.Build();
    lastParent_ = nullptr;
}

void OdxReferenceResolver::Prefetch(size_t entry) const {
    __builtin_prefetch(work_[entry].first);
}

bool OdxReferenceResolver::ResolveIdentifier(NanoXML* node, Failure& failure) const {
    const std::string_view id = AttributeView(node, "ID-REF");
    if (id.empty()) return true;
    if (NanoXML* target = Lookup(identifiers_, id, AttributeView(node, "DOCREF"), node)) {
        MarkResolved(node, target);
        return true;
    }
    failure.node = node;
    failure.line = UnresolvedLine("Unresolved REF: ", node, id);
    MarkUnresolved(node);
    return false;
}

bool OdxReferenceResolver::ResolveShortName(NanoXML* node, Failure& failure) const {
    const std::string_view shortName = AttributeView(node, "SHORT-NAME");
    if (shortName.empty()) return true;
    std::string_view document = AttributeView(node, "DOCREF");
    if (document.empty() && node->name == "DIAG-COMM-SNREF") {
        if (const NanoXML* parentRef = NanoXML::FindAncestor(node, "PARENT-REF")) {
            document = AttributeView(parentRef, "DOCREF");
        }
    }
    const NanoXML* target = Lookup(shortNames_, shortName, document, node);
    if (target != nullptr && target->parent != nullptr) {
        MarkResolved(node, target->parent);
        return true;
    }
    failure.node = node;
    failure.line = UnresolvedLine("Unresolved SNREF: ", node, shortName);
    MarkUnresolved(node);
    return false;
}

bool OdxReferenceResolver::ResolveEntry(size_t entry, Failure& failure) const {
    const auto& [node, kind] = work_[entry];
    return kind == kIdentifier ? ResolveIdentifier(node, failure) : ResolveShortName(node, failure);
}

// ---------------------------------------------------------------------------------------------
// CDD

void CddReferenceResolver::Collect(NanoXML* node) {
    ++collected_;
    // The table keeps a pointer to the value as it stands in the tree.
    for (const NanoXMLAttribute& attribute : node->attributes) {
        if (attribute.name == "id") {
            identifiers_.Add(attribute.value, node);
            break;
        }
    }
    if (!AttributeView(node, "idref").empty()) {
        work_.push_back(node);
        node->flags |= NanoXML::kFlagReference;
    }
}

bool CddReferenceResolver::ResolveEntry(size_t entry, Failure& failure) const {
    NanoXML* node = work_[entry];
    const std::string_view idref = AttributeView(node, "idref");
    if (NanoXML* target = identifiers_.Find(idref)) {
        MarkResolved(node, target);
        return true;
    }
    failure.node = node;
    failure.line = UnresolvedLine("Unresolved REF: ", node, idref);
    MarkUnresolved(node);
    return false;
}

}  // namespace qm::xml
