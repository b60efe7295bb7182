#include "diag/pdx_archive.h"

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <map>
#include <memory>
#include <string_view>
#include <system_error>
#include <unordered_map>
#include <unordered_set>
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
// No member may grow beyond 100 times the compressed bytes it has consumed (plus 1 MiB for
// small members), checked while it inflates: a bomb stops after a megabyte or so, whatever
// sizes its headers state.
constexpr uint64_t kMaxMemberRatio = 100;
constexpr uint64_t kMemberAllowance = 1ull << 20;
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

// A name that would leave the folder it is unpacked into: absolute, with a drive, or with a
// ".." piece.
bool IsEscapingName(const std::string& name) {
    if (name.empty() || name[0] == '/' || name[0] == '\\') return true;
    if (name.size() >= 2 && name[1] == ':') return true;
    size_t start = 0;
    while (start <= name.size()) {
        size_t end = name.find_first_of("/\\", start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0) return true;
        start = end + 1;
    }
    return false;
}

bool EndsWith(const std::string& name, std::string_view suffix) {
    if (name.size() < suffix.size()) return false;
    for (size_t i = 0; i < suffix.size(); ++i) {
        char c = name[name.size() - suffix.size() + i];
        if (c >= 'A' && c <= 'Z') c = static_cast<char>(c + 32);
        if (c != suffix[i]) return false;
    }
    return true;
}

bool IsArchiveName(const std::string& name) {
    return EndsWith(name, ".pdx") || EndsWith(name, ".zip");
}

bool IsArchiveContent(const std::string& content) {
    return content.rfind("PK\x03\x04", 0) == 0 || content.rfind("PK\x05\x06", 0) == 0;
}

// What an archive may make us do, member by member: read each stretch of the file once,
// each name once, each document once, and inflate no more than one budget in all. What it
// refuses goes to the XML message log, so the library's own lines stay the defined ones.
class MemberGuard {
  public:
    MemberGuard(const platform::ZipReader& archive, const std::string& path, uint64_t budget)
        : archive_(archive), path_(path), budget_(budget) {}

    void Skip(const std::string& name, const std::string& why) const {
        xml::AppendMessage("PDX member \"" + name + "\" of \"" + path_ + "\" skipped: " + why +
                           "\r\n");
    }

    // Whether the member is to be read at all (a member with a wrong local header is, and
    // fails as an extraction).
    bool Admit(uint64_t index, const std::string& name) {
        if (archive_.IsSymbolicLink(index)) return Refuse(name, "a symbolic link");
        if (IsEscapingName(name)) return Refuse(name, "an absolute path or a \"..\" in its name");
        if (!names_.insert(name).second) {
            return Refuse(name, "a member of the same name was read already");
        }
        platform::ZipReader::MemberPlace place;
        if (archive_.Place(index, place)) {
            if (place.localName != name) {
                unreadable_[index] = "its local header at offset " +
                                     std::to_string(place.headerOffset) + " belongs to \"" +
                                     place.localName + "\"";
            } else if (const std::string* other = Overlapping(place)) {
                return Refuse(name, "its data is that of member \"" + *other +
                                        "\" (an entry listed again or overlapping); read once");
            } else {
                places_.emplace(place.headerOffset, Stretch{place.dataEnd, name});
            }
        } else if (archive_.KnowsPlaces()) {
            unreadable_[index] = archive_.LastError();
        }
        return true;
    }

    // Inflates within what is left of the budget; whatever an attempt inflated is spent,
    // whether it succeeded or not.
    bool Extract(uint64_t index, const std::string& name, std::string& content) {
        std::string reason;
        if (const auto bad = unreadable_.find(index); bad != unreadable_.end()) {
            reason = bad->second;
        } else {
            uint64_t inflated = 0;
            const bool ok = archive_.Extract(
                index, content,
                platform::ZipReader::ExtractLimits{budget_, kMaxMemberRatio, kMemberAllowance},
                inflated);
            budget_ -= std::min(budget_, inflated);
            if (ok) return true;
            reason = archive_.LastError();
        }
        // Why it failed goes to the XML message log, beside the parser's own lines.
        xml::AppendMessage("PDX member \"" + name + "\" of \"" + path_ + "\" not read: " + reason +
                           "\r\n");
        return false;
    }

    // Whether the inflated member is a document not seen before.
    bool AdmitContent(const std::string& name, const std::string& content) {
        if (IsArchiveContent(content)) return Refuse(name, "an archive inside the archive");
        const auto key = std::make_pair(std::hash<std::string>{}(content), content.size());
        const auto [seen, added] = documents_.emplace(key, name);
        if (!added) return Refuse(name, "the same document as member \"" + seen->second + "\"");
        return true;
    }

  private:
    struct Stretch {
        uint64_t end;
        std::string name;
    };
    struct PairHash {
        size_t operator()(const std::pair<size_t, size_t>& key) const {
            return key.first ^ (key.second * 0x9E3779B97F4A7C15ull);
        }
    };

    bool Refuse(const std::string& name, const std::string& why) const {
        Skip(name, why);
        return false;
    }

    // The member read already whose stretch of the file this one's shares, if any.
    const std::string* Overlapping(const platform::ZipReader::MemberPlace& place) const {
        auto next = places_.lower_bound(place.headerOffset);
        if (next != places_.end() && next->first < place.dataEnd) return &next->second.name;
        if (next != places_.begin() && std::prev(next)->second.end > place.headerOffset) {
            return &std::prev(next)->second.name;
        }
        return nullptr;
    }

    const platform::ZipReader& archive_;
    const std::string& path_;
    uint64_t budget_;
    std::map<uint64_t, Stretch> places_;  // by local header offset
    std::unordered_set<std::string> names_;
    std::unordered_map<std::pair<size_t, size_t>, std::string, PairHash> documents_;
    std::unordered_map<uint64_t, std::string> unreadable_;
};

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
    MemberGuard guard(archive, path, PdxInflationBudget(sizeError ? 0 : archiveSize));

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
        if (!IsOdxMemberName(stat.name)) {
            if (IsArchiveName(stat.name)) guard.Skip(stat.name, "an archive inside the archive");
            continue;
        }
        if (!guard.Admit(index, stat.name)) continue;
        library.AppendMessage(FormatText(
            "Decompressing ODX out of PDX: \"%s\"\r\nUncompressed: %10u   Compressed: %10u\r\n",
            stat.name, stat.size, stat.compressedSize));
        ++odxCount;
        if (stat.size == 0) continue;
        std::string content;
        if (!guard.Extract(index, stat.name, content)) {
            result = 0;
            library.AppendMessage(FormatText(
                "ERROR during extracting ODX file from PDX: \"%s\" \t\t Uncompressed: %u\t\t "
                "Compressed: %u\r\n",
                stat.name, stat.size, stat.compressedSize));
            continue;
        }
        if (!guard.AdmitContent(stat.name, content)) continue;
        AttachMember(library, path, stat.name, content);
        result = 1;
    }
    char count[64];
    std::snprintf(count, sizeof count, "ODX count in PDX file: %d\r\n", odxCount);
    library.AppendMessage(count);
    return result;
}

}  // namespace qm::diag
