#pragma once
// Wide and narrow paths. A narrow path is widened byte by byte; a wide path is narrowed by
// taking the low byte of each character. Files are opened by the narrowed bytes.
#include <string>

namespace qm::platform {

std::wstring Widen(const std::string& narrow);
std::string Narrow(const std::wstring& wide);

}  // namespace qm::platform
