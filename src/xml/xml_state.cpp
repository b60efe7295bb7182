#include "xml/xml_state.h"

#include <mutex>
#include <utility>

#include "quillmere/xml.h"

namespace qm::xml {

namespace {

struct ProcessState {
    std::mutex mutex;
    std::string messageLog;
    std::vector<std::string> loadedFiles;
};

// Never destroyed: objects that clear the log in their destructors may themselves be static
// and outlive any ordinary static object here.
ProcessState& State() {
    static ProcessState* const state = new ProcessState();
    return *state;
}

struct ThreadState {
    DocumentEnd lastEnd;
    std::vector<std::string> truncated;
    bool localElementNames = false;
};

ThreadState& ThisThread() {
    thread_local ThreadState state;
    return state;
}

}  // namespace

std::string DocumentEnd::TruncationText() const {
    return "document ends inside <" + openElement + "> at line " + std::to_string(openLine);
}

const DocumentEnd& LastDocumentEnd() {
    return ThisThread().lastEnd;
}

void RecordDocumentEnd(DocumentEnd end) {
    ThreadState& state = ThisThread();
    state.lastEnd = std::move(end);
}

std::vector<std::string> TakeTruncatedDocuments() {
    std::vector<std::string> taken;
    taken.swap(ThisThread().truncated);
    return taken;
}

bool LocalElementNames() {
    return ThisThread().localElementNames;
}

LocalElementNamesScope::LocalElementNamesScope(bool on)
    : previous_(std::exchange(ThisThread().localElementNames, on)) {}

LocalElementNamesScope::~LocalElementNamesScope() {
    ThisThread().localElementNames = previous_;
}

void NoteTruncatedDocument(std::string line) {
    // A host that never asks must not see the list grow without end.
    constexpr size_t kKept = 1024;
    std::vector<std::string>& truncated = ThisThread().truncated;
    if (truncated.size() < kKept) truncated.push_back(std::move(line));
}

void AppendMessage(std::string_view line) {
    ProcessState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.messageLog.append(line);
}

std::string MessageLog() {
    ProcessState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.messageLog;
}

void ClearMessageLog() {
    ProcessState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.messageLog.clear();
}

size_t RecordLoadedFile(std::string path) {
    ProcessState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    state.loadedFiles.push_back(std::move(path));
    return state.loadedFiles.size() - 1;
}

size_t LoadedFileCount() {
    ProcessState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.loadedFiles.size();
}

std::vector<std::string> LoadedFiles() {
    ProcessState& state = State();
    std::lock_guard<std::mutex> lock(state.mutex);
    return state.loadedFiles;
}

uint16_t CurrentSourceFileIndex() {
    return static_cast<uint16_t>(LoadedFileCount() - 1);
}

}  // namespace qm::xml

std::string NanoXML::MessageLog() {
    return qm::xml::MessageLog();
}
void NanoXML::AppendMessage(const std::string& line) {
    qm::xml::AppendMessage(line);
}
void NanoXML::ClearMessageLog() {
    qm::xml::ClearMessageLog();
}
std::vector<std::string> NanoXML::LoadedFiles() {
    return qm::xml::LoadedFiles();
}
