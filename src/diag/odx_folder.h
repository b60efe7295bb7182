#pragma once
// Folders of ODX files: a search pattern such as "dir\*.*" is scanned, optionally with its
// subfolders, and every ODX file found joins the library's pending file list.
#include <string>

class CDiagnoseLib;

namespace qm::diag {

// The folder part of a pattern: its pieces split at "\" and "/", all but the last, each
// non-empty one followed by "/" ("dir\sub/*.odx" gives "dir/sub/"); an absolute pattern keeps
// its leading "/".
std::string PatternFolder(const std::string& pattern);

// True for a file the scan takes: the last "."-separated piece of its name, upper-cased,
// contains "ODX", and the file is XML (IsXmlFile).
bool IsOdxFolderFile(const std::string& name, const std::string& path);

// Scans the pattern (and, when recursive, every subfolder) into the pending list, logging
// each folder and file. Returns whether the first search succeeded.
bool ScanOdxFolder(CDiagnoseLib& library, const std::string& pattern, bool recursive);

}  // namespace qm::diag
