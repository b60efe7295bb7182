#include "diag/pdx_archive.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <system_error>
#include <vector>

#include "diag/diagnose_lib.h"
#include "platform/clock.h"
#include "platform/zip.h"
#include "xml/xml_state.h"

namespace qm::diag {

namespace {

// Deflate cannot shrink data by much more than 1:1032; ODX text rarely goes beyond 1:50. An
// archive that wants to grow by more than this is a bomb, not a description.
constexpr uint64_t kMaxInflationRatio = 256;
constexpr uint64_t kMinInflationBudget = 1ull << 20;
constexpr uint64_t kMaxInflationBudget = 2ull << 30;
// The reader state that reads the content of a node (the document element stays ours).
constexpr int kDocumentContent = 10;

std::string FormatText(const char* format, const std::string& name, uint64_t size,
                       uint64_t compressed) {
    // The counts are printed as the unsigned 32-bit values the archive format carries.
    const int length = std::snprintf(nullptr, 0, format, name.c_str(), static_cast<unsigned>(size),
                                     static_cast<unsigned>(compressed));
    std::string text(static_cast<size_t>(std::max(length, 0)) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, name.c_str(), static_cast<unsigned>(size),
                  static_cast<unsigned>(compressed));
    text.resize(text.size() - 1);
    return text;
}

// The member is ODX when the last "."-separated piece of its name, lower-cased, begins with
// "odx" (odx, odx-d, odx-c, odx-cs, odx-v, ...).
bool IsOdxMemberName(const std::string& name) {
    const size_t dot = name.rfind('.');
    const std::string_view last =
        dot == std::string::npos ? std::string_view(name) : std::string_view(name).substr(dot + 1);
    if (last.size() < 3) return false;
    static constexpr char kOdx[] = "odx";
    for (size_t i = 0; i < 3; ++i) {
        char c = last[i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != kOdx[i]) return false;
    }
    return true;
}

// Parses an inflated member as the content of a document named by the member, then keeps its
// top-level "ODX" elements and destroys the others.
void AttachMember(CDiagnoseLib& library, const std::string& archivePath,
                  const std::string& memberName, const std::string& content) {
    NanoXML document;
    document.name = memberName;
    const uint32_t start = platform::TickCount();
    document.Parse(content.data(), false, content.size(), 0, kDocumentContent);
    library.AddTimeXml(platform::TickCount() - start);
    const std::string source = archivePath + "/" + memberName;
    std::vector<NanoXML*> tops;
    tops.swap(document.children);
    for (NanoXML* top : tops) {
        top->parent = nullptr;
        if (top->name == "ODX") {
            library.AttachRoot(top, source);
        } else {
            delete top;
        }
    }
}

}  // namespace

uint64_t PdxInflationBudget(uint64_t archiveSize) {
    const uint64_t scaled = archiveSize > kMaxInflationBudget / kMaxInflationRatio
                                ? kMaxInflationBudget
                                : archiveSize * kMaxInflationRatio;
    return std::clamp(scaled, kMinInflationBudget, kMaxInflationBudget);
}

uint8_t LoadPdxArchive(CDiagnoseLib& library, const std::string& path) {
    platform::ZipReader archive;
    if (!archive.Open(path)) return 0;
    std::error_code sizeError;
    const uint64_t archiveSize = std::filesystem::file_size(path, sizeError);
    uint64_t budget = PdxInflationBudget(sizeError ? 0 : archiveSize);

    uint8_t result = 0;
    int odxCount = 0;
    const uint64_t memberCount = archive.MemberCount();
    for (uint64_t index = 0; index < memberCount; ++index) {
        platform::ZipReader::MemberStat stat;
        if (!archive.Stat(index, stat)) {
            library.AppendMessage("ERROR: Invalid file status of PDX content!\n");
            result = 0;
            break;
        }
        if (archive.IsDirectory(index)) continue;
        if (!IsOdxMemberName(stat.name)) continue;
        library.AppendMessage(FormatText(
            "Decompressing ODX out of PDX: \"%s\"\r\nUncompressed: %10u   Compressed: %10u\r\n",
            stat.name, stat.size, stat.compressedSize));
        ++odxCount;
        if (stat.size == 0) continue;
        std::string content;
        if (!archive.Extract(index, content, budget)) {
            result = 0;
            library.AppendMessage(FormatText(
                "ERROR during extracting ODX file from PDX: \"%s\" \t\t Uncompressed: %u\t\t "
                "Compressed: %u\r\n",
                stat.name, stat.size, stat.compressedSize));
            // Why it failed goes to the XML message log, beside the parser's own lines.
            xml::AppendMessage("PDX member \"" + stat.name + "\" of \"" + path +
                               "\" not read: " + archive.LastError() + "\r\n");
            continue;
        }
        budget -= std::min<uint64_t>(budget, content.size());
        AttachMember(library, path, stat.name, content);
        result = 1;
    }
    char count[64];
    std::snprintf(count, sizeof count, "ODX count in PDX file: %d\r\n", odxCount);
    library.AppendMessage(count);
    return result;
}

}  // namespace qm::diag
