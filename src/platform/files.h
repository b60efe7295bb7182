#pragma once
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace qm::platform {

// The result of a file operation: on failure errorNumber holds errno and errorText strerror.
struct FileStatus {
    bool ok = false;
    bool opened = false;  // the file was opened (a later read or write may still have failed)
    int errorNumber = 0;
    std::string errorText;
};

// Reads a whole file into out (replacing its content).
FileStatus ReadWholeFile(const std::string& path, std::string& out);
FileStatus ReadWholeFile(const std::wstring& path, std::string& out);

// Writes data to a temporary file beside path and renames it into place, so that a failed write
// leaves the previous file intact.
FileStatus WriteFileAtomic(const std::string& path, std::string_view data);
FileStatus WriteFileAtomic(const std::wstring& path, std::string_view data);

// The same for content made piece by piece: produce hands each piece to the writer it is given
// (which returns false once a write failed) and returns false to abandon the file. Nothing but
// the piece being written needs to be held in memory.
using PieceWriter = std::function<bool(std::string_view)>;
FileStatus WriteFileAtomic(const std::string& path,
                           const std::function<bool(const PieceWriter&)>& produce);

// Writes data in place (plain binary write, no temporary).
FileStatus WriteFile(const std::string& path, std::string_view data);

bool FileExists(const std::string& path);

// The errno of the last failed file operation of this thread (0 after a successful write), for
// callers that only see a described bool result.
int LastFileError();

// The temporary files that WriteFileAtomic is writing are remembered while it writes. This
// removes them (async-signal-safe: it only calls unlink).
void RemovePendingTemporaries();
// Handlers for SIGINT, SIGTERM and SIGHUP that remove those temporaries and then end the
// process by the same signal. For programs (the tool); a library never installs handlers.
void RemoveTemporariesOnSignals();

}  // namespace qm::platform
