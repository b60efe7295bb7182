#include "facade/container_file.h"

#include <memory>
#include <string>

#include "platform/files.h"
#include "quillmere/xml.h"

namespace qm::facade {

namespace {

constexpr const char* kDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
constexpr size_t kMaxErrorText = 1023;
// The indentation the writer gives the children of "Quillmere".
constexpr int kElementIndent = 6;

// The frame's text before and after its elements: the frame is written once around a single
// empty stand-in element, whose own text is cut out, so that the frame comes from the writer
// itself rather than from a copy of its layout.
struct FrameText {
    std::string before;
    std::string after;
};

FrameText FrameAround() {
    NanoXML root("KOVR", "", 0);
    NanoXML* frame = root.AddChild("Quillmere", "", 0);
    auto* standIn = new NanoXML("\x01", "", 0);
    frame->AddChild(standIn);
    const std::string whole = root.Serialize(0, false);
    const std::string cut = standIn->Serialize(kElementIndent, true);
    const size_t at = whole.find(cut);
    return FrameText{whole.substr(0, at), whole.substr(at + cut.size())};
}

std::string EmptyFrame() {
    NanoXML root("KOVR", "", 0);
    root.AddChild("Quillmere", "", 0);
    return root.Serialize(0, false);
}

}  // namespace

bool WriteContainerFile(const std::vector<ElementMaker>& makers, const char* path) {
    const auto produce = [&makers](const platform::PieceWriter& write) {
        if (!write(kDeclaration)) return false;
        if (makers.empty()) return write(EmptyFrame());
        const FrameText frame = FrameAround();
        if (!write(frame.before)) return false;
        for (const ElementMaker& make : makers) {
            std::string text;
            {
                const std::unique_ptr<NanoXML> element(make());
                if (element) text = element->Serialize(kElementIndent, true);
            }
            if (!write(text)) return false;
        }
        return write(frame.after);
    };
    const platform::FileStatus status = platform::WriteFileAtomic(std::string(path), produce);
    if (status.ok) return true;
    NanoXML::AppendMessage("NanoXML::SaveFile error nr " + std::to_string(status.errorNumber) +
                           ": " + status.errorText.substr(0, kMaxErrorText) + "\r\n");
    return false;
}

}  // namespace qm::facade
