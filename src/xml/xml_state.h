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

}  // namespace qm::xml
