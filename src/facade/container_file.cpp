#include "facade/container_file.h"

#include <string>

#include "platform/files.h"
#include "quillmere/xml.h"

namespace qm::facade {

namespace {

constexpr const char* kDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
constexpr size_t kMaxErrorText = 1023;

}  // namespace

bool WriteContainerFile(const NanoXML& root, const char* path) {
    std::string content(kDeclaration);
    content += root.Serialize(0, false);
    const platform::FileStatus status = platform::WriteFileAtomic(std::string(path), content);
    if (status.ok) return true;
    NanoXML::AppendMessage("NanoXML::SaveFile error nr " + std::to_string(status.errorNumber) +
                           ": " + status.errorText.substr(0, kMaxErrorText) + "\r\n");
    return false;
}

}  // namespace qm::facade
