#pragma once
// The process-wide state of the XML engine: the message log that readers, writers and the
// reference resolution append to, and the list of files the reader has loaded. Both are guarded
// by one mutex, so that loads on different threads never race.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace qm::xml {

void AppendMessage(std::string_view line);
std::string MessageLog();
void ClearMessageLog();

// Appends a path to the loaded-file list and returns its index.
size_t RecordLoadedFile(std::string path);
size_t LoadedFileCount();
std::vector<std::string> LoadedFiles();

// The index that elements read now record as their source file: the last loaded file, or
// 65535 (the 16-bit form of -1) when none was loaded yet.
uint16_t CurrentSourceFileIndex();

// How a whole document read on this thread (LoadFile, or Parse from state 0) ended. The
// described reader reports nothing about a document cut short; the readers and the tool that
// want to tell a cut or foreign file from a whole one ask here right after reading.
struct DocumentEnd {
    bool empty = false;      // no byte to read (an empty file, or one starting with NUL)
    bool rootFound = false;  // a root element began
    std::string rootName;
    // The innermost element still open where the input ended, and the line (from 1) of its
    // start tag; an empty name when the root was closed (or never began).
    std::string openElement;
    uint64_t openLine = 0;

    bool Truncated() const { return rootFound && !openElement.empty(); }
    // "document ends inside <X> at line N"
    std::string TruncationText() const;
};

// The end of the last whole document read on this thread.
const DocumentEnd& LastDocumentEnd();
void RecordDocumentEnd(DocumentEnd end);

// The lines of the documents read on this thread since the last call that were cut short
// (TruncationText, after the path when the document came from a file), in reading order; the
// list is emptied. A tool asks after a load that may read many documents (an archive, a folder).
std::vector<std::string> TakeTruncatedDocuments();
void NoteTruncatedDocument(std::string line);

// Whether documents read on this thread keep their element names without a namespace prefix
// ("ar:AUTOSAR" read as "AUTOSAR"), for readers that take a document as its tools write it:
// some bind the AUTOSAR namespace to a prefix instead of making it the default one. Off unless
// a scope turns it on; attributes keep their names.
bool LocalElementNames();
class LocalElementNamesScope {
  public:
    explicit LocalElementNamesScope(bool on);
    ~LocalElementNamesScope();
    LocalElementNamesScope(const LocalElementNamesScope&) = delete;
    LocalElementNamesScope& operator=(const LocalElementNamesScope&) = delete;

  private:
    bool previous_;
};

}  // namespace qm::xml
