#include "platform/paths.h"

namespace qm::platform {

std::wstring Widen(const std::string& narrow) {
    std::wstring wide;
    wide.reserve(narrow.size());
    for (char c : narrow) wide.push_back(static_cast<wchar_t>(static_cast<unsigned char>(c)));
    return wide;
}

std::string Narrow(const std::wstring& wide) {
    std::string narrow;
    narrow.reserve(wide.size());
    for (wchar_t c : wide) narrow.push_back(static_cast<char>(static_cast<uint32_t>(c) & 0xFFu));
    return narrow;
}

}  // namespace qm::platform
