#pragma once
#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "quillmere/export.h"

class NanoXML;

struct QM_API NanoXMLAttribute {
    std::string name;
    std::string value;  // raw as read, quotes removed
};

// The indices into the process-wide list of loaded files that an element was read from, kept
// sorted and unique. Almost every element comes from exactly one file, so one index is stored
// inline and further ones spill into a process-wide table of lists.
class QM_API NanoXMLSourceFiles {
  public:
    NanoXMLSourceFiles() = default;
    ~NanoXMLSourceFiles();
    NanoXMLSourceFiles(const NanoXMLSourceFiles&) = delete;
    NanoXMLSourceFiles& operator=(const NanoXMLSourceFiles&) = delete;

    void Insert(uint16_t index);
    size_t Size() const;
    bool Contains(uint16_t index) const;
    std::vector<uint16_t> Values() const;

  private:
    // 0 when empty; (index << 1) | 1 for a single index; otherwise (slot + 1) << 1 for a sorted
    // list of two or more in the process-wide table. 32 bits, so that the element's flags fit
    // into the same word.
    uint32_t bits_ = 0;
};

// The callback that the reader calls for every completed child element. It is held like a
// std::shared_ptr<const std::function<void(NanoXML*)>> (assigned from one, compared with one or
// with nullptr, dereferenced to call it) but in one pointer, since every element carries a copy.
class QM_API NanoXMLCallback {
  public:
    using Function = std::function<void(NanoXML*)>;

    NanoXMLCallback() = default;
    NanoXMLCallback(std::nullptr_t) {}
    NanoXMLCallback(std::shared_ptr<const Function> function);
    // Also from a std::shared_ptr<Function> and the like.
    template <typename F, typename = std::enable_if_t<std::is_convertible_v<
                              std::shared_ptr<F>, std::shared_ptr<const Function>>>>
    NanoXMLCallback(std::shared_ptr<F> function)
        : NanoXMLCallback(std::shared_ptr<const Function>(std::move(function))) {}
    NanoXMLCallback(const NanoXMLCallback& other) noexcept;
    NanoXMLCallback(NanoXMLCallback&& other) noexcept : box_(other.box_) { other.box_ = nullptr; }
    NanoXMLCallback& operator=(const NanoXMLCallback& other) noexcept;
    NanoXMLCallback& operator=(NanoXMLCallback&& other) noexcept;
    ~NanoXMLCallback();

    explicit operator bool() const { return box_ != nullptr; }
    const Function& operator*() const { return *get(); }
    const Function* operator->() const { return get(); }
    const Function* get() const;
    operator std::shared_ptr<const Function>() const;

    friend bool operator==(const NanoXMLCallback& a, const NanoXMLCallback& b) {
        return a.get() == b.get();
    }
    template <typename F>
    friend bool operator==(const NanoXMLCallback& a, const std::shared_ptr<F>& b) {
        return a.get() == b.get();
    }
    friend bool operator==(const NanoXMLCallback& a, std::nullptr_t) { return a.box_ == nullptr; }

  private:
    struct Box;
    Box* box_ = nullptr;
};

// One XML element; a document is its root element.
class QM_API NanoXML {
  public:
    using ChildCallback = NanoXMLCallback::Function;

    // Flag bits.
    static constexpr uint8_t kFlagReference = 1;
    static constexpr uint8_t kFlagUnresolved = 2;
    static constexpr uint8_t kFlagCData = 4;

    NanoXML();
    // mode 0 stores content as text, 1 parses it as this element's content, 2 parses it keeping
    // text fragments as children with an empty name.
    NanoXML(const std::string& name, const std::string& content, int mode);
    NanoXML(const std::string& name, const std::string& content, bool parse);
    ~NanoXML();
    NanoXML(const NanoXML&) = delete;
    NanoXML& operator=(const NanoXML&) = delete;

    // Nodes come from a pool of slabs: documents have millions of them.
    static void* operator new(std::size_t size);
    static void operator delete(void* block, std::size_t size) noexcept;

    void Clear();

    // Tree building.
    NanoXML* AddChild(NanoXML* child);
    NanoXML* AddChild(const char* name, const char* content, int mode);
    NanoXML* GetChild(const char* name, bool create);
    NanoXML* GetChild(const std::string& name);
    NanoXML* GetChildAt(size_t index, bool followLink);
    NanoXML* GetLinkedChild(const char* name);
    static NanoXML* FindAncestor(NanoXML* node, const std::string& name);
    void SetText(std::string text);
    void DeleteChildren();
    void DeleteAttributes();

    // Attributes.
    std::string GetAttribute(const std::string& name) const;
    void SetAttribute(const char* name, const char* value);
    void AddAttribute(const char* name, const char* value, int mode);
    std::string GetAttributeNameAt(size_t index) const;
    std::string GetAttributeValueAt(size_t index) const;

    // Text with "&lt;" and "&gt;" decoded (unless CDATA), or the text fragments' raw text.
    std::string GetText() const;

    // Counting and ordering.
    size_t CountNodes() const;
    size_t CountAttributes() const;
    void SortChildren(int depth);
    int SiblingIndex() const;
    std::string GetPath(const std::string& keyAttribute) const;

    // Searches.
    NanoXML* FindByPath(const std::vector<std::string>& path);
    NanoXML* FindByLinkedPath(const std::vector<std::string>& path);
    NanoXML* FindChild(const std::string& name, const std::string& attrName,
                       const std::string& attrValue, bool recursive);
    NanoXML* FindNode(const std::string& name, const std::string& attrName,
                      const std::string& attrValue, uint64_t depth);
    size_t FindAll(std::vector<NanoXML*>& result, const std::string& name, const std::string& text,
                   const std::string& attrName, const std::string& attrValue,
                   const std::string& extra, uint8_t depth);
    NanoXML* Match(const std::string& key1, const std::string& key2, int mode);
    void FindMatches(std::vector<NanoXML*>& result, const std::string& key, int depth, int mode);
    void CollectUnique(std::vector<NanoXML*>& result, const std::string& name,
                       const std::string& text, const std::string& parentName, int depth);
    void CollectAll(std::vector<NanoXML*>& result, const std::string& name, const std::string& text,
                    const std::string& parentName);
    NanoXML* FindWithChild(const std::string& name, const std::string& childName,
                           const std::string& childText);
    NanoXML* FindWithChildIn(const std::string& name, const std::vector<std::string>& childNames,
                             const std::string& childText);
    NanoXML* FindNearest(const std::string& name, const std::string& text,
                         const std::string& parentName, NanoXML* cameFrom);
    void AddSourceFile(uint16_t index);

    // Reading. LoadFile returns 1 when the file was opened and read completely, else 0.
    int LoadFile(const char* path);
    int LoadFile(const wchar_t* path);
    // state 0 reads a whole document, 10 the content of this node, 2 the start tag of a child.
    size_t Parse(const char* buffer, bool mixed, size_t length, size_t start, int state);
    static bool IsXmlFile(const char* path);

    // Writing. SaveFile returns 1 on success, 0 otherwise.
    int SaveFile(const char* path);
    std::string Serialize(int indent, bool newlineBefore) const;
    std::string ToString() const;

    // The process-wide message log and list of loaded files, shared by every instance.
    static std::string MessageLog();
    static void AppendMessage(const std::string& line);
    static void ClearMessageLog();
    static std::vector<std::string> LoadedFiles();

    std::string name;
    std::string text;
    NanoXML* parent = nullptr;
    NanoXML* link = nullptr;
    std::vector<NanoXML*> children;
    std::vector<NanoXMLAttribute> attributes;
    NanoXMLSourceFiles sourceFiles;
    uint8_t flags = 0;
    // Shared, because the reader copies it into every child it creates.
    NanoXMLCallback onChildParsed;
};
