// Writing NanoXML trees: the document file, the file text of a subtree and its display text.
// Nothing is escaped: names, values and text are written exactly as stored.
#include <algorithm>
#include <functional>
#include <limits>
#include <string_view>
#include <unordered_set>

#include "platform/files.h"
#include "quillmere/xml.h"
#include "xml/block_stack.h"
#include "xml/link_chain.h"
#include "xml/xml_state.h"
#include "xml/xml_writer.h"

namespace {

constexpr std::string_view kDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";
constexpr size_t kMaxErrorText = 1023;

bool HasNamedChild(const NanoXML& node) {
    for (const NanoXML* child : node.children) {
        if (!child->name.empty()) return true;
    }
    return false;
}

// GetText() is empty exactly when the stored text is empty and so are all text fragments.
bool HasNoText(const NanoXML& node) {
    if (!node.text.empty()) return false;
    for (const NanoXML* child : node.children) {
        if (child->name.empty() && !child->text.empty()) return false;
    }
    return true;
}

// Indentation stops growing kMaxIndentLevels levels below the node written: deeper elements are
// written at that column, so the text of a deep tree stays linear in its size. The column a
// caller starts from is kept whatever its width.
void AppendPad(std::string& out, int width) {
    if (width > 0) out.append(static_cast<size_t>(width), ' ');
}

// A line end followed by the indentation of the usual depths: most new lines are one copy out of
// it.
constexpr size_t kCommonPad = 3 * qm::xml::kMaxIndentLevels;
constexpr std::string_view kNewlineAndPad =
    "\r\n                                                                "
    "                                                                "
    "                                                                ";
static_assert(kNewlineAndPad.size() == 2 + kCommonPad);

void AppendNewlineAndPad(std::string& out, int width) {
    const size_t pad = width > 0 ? static_cast<size_t>(width) : 0;
    if (pad <= kCommonPad) {
        out.append(kNewlineAndPad.data(), 2 + pad);
        return;
    }
    out += "\r\n";
    AppendPad(out, width);
}

void AppendStartTag(std::string& out, const NanoXML& node, bool selfClosing) {
    out += '<';
    out += node.name;
    for (const NanoXMLAttribute& attribute : node.attributes) {
        out += ' ';
        out += attribute.name;
        out += "=\"";
        out += attribute.value;
        out += '"';
    }
    if (selfClosing) out += '/';
    out += '>';
}

void AppendEndTag(std::string& out, const std::string& name) {
    out += "</";
    out += name;
    out += '>';
}

// One element of Serialize whose children are being written.
struct SerializeFrame {
    const NanoXML* node;
    int indent;  // may be negative: no padding then, but children still step in by 3
    size_t nextChild;
    bool namedChildren;
    bool empty;
};

SerializeFrame OpenElement(std::string& out, const NanoXML& node, int indent, bool newlineBefore) {
    const bool namedChildren = HasNamedChild(node);
    const bool empty = !namedChildren && HasNoText(node);
    if (newlineBefore) AppendNewlineAndPad(out, indent);
    if (!node.name.empty()) AppendStartTag(out, node, empty);
    if (!node.text.empty()) {
        const bool cdata = (node.flags & NanoXML::kFlagCData) != 0;
        if (namedChildren) AppendPad(out, indent);
        if (cdata) out += "<![CDATA[";
        out += node.text;
        if (cdata) out += "]]>";
        if (namedChildren) out += "\r\n";
    }
    return SerializeFrame{&node, indent, 0, namedChildren, empty};
}

void CloseElement(std::string& out, const SerializeFrame& frame) {
    if (frame.node->name.empty() || frame.empty) return;
    if (frame.namedChildren) AppendNewlineAndPad(out, frame.indent);
    AppendEndTag(out, frame.node->name);
}

// The display text indents 4 spaces a level, and stops growing at the same depth as the file
// text, so that every level up to that depth is shown in full.
constexpr size_t kMaxDisplayPad = 4 * qm::xml::kMaxIndentLevels;

void AppendDisplayPad(std::string& out, size_t level) {
    out.append(std::min(4 * level, kMaxDisplayPad), ' ');
}

// One element of ToString whose children are being rendered.
struct DisplayFrame {
    const NanoXML* node;
    size_t level;
    size_t nextChild;
};

void OpenDisplay(std::string& out, const NanoXML& node, size_t level) {
    AppendDisplayPad(out, level);
    AppendStartTag(out, node, false);
    if (!node.children.empty()) out += "\r\n";
}

void CloseDisplay(std::string& out, const NanoXML& node, size_t level) {
    if (node.children.empty()) {
        out += node.GetText();
    } else {
        AppendDisplayPad(out, level);
    }
    AppendEndTag(out, node.name);
    out += "\r\n";
}

}  // namespace

namespace qm::xml {

void SerializeTo(const NanoXML& node, int indent, bool newlineBefore,
                 const std::function<void(std::string_view)>& sink) {
    constexpr size_t kPiece = 1 << 16;
    std::string out;
    // Iterative, so that the depth of the tree is bounded by memory rather than by the stack.
    BlockStack<SerializeFrame> open;
    open.push_back(OpenElement(out, node, indent, newlineBefore));
    while (!open.empty()) {
        if (out.size() >= kPiece) {
            sink(out);
            out.clear();
        }
        SerializeFrame& frame = open.back();
        if (frame.nextChild < frame.node->children.size()) {
            const NanoXML* child = frame.node->children[frame.nextChild++];
            // open holds the levels down to this frame: the child's level below the node.
            const bool deepest = open.size() > kMaxIndentLevels ||
                                 frame.indent > std::numeric_limits<int>::max() - 3;
            const int indentOfChild = deepest ? frame.indent : frame.indent + 3;
            const bool newline = frame.namedChildren;
            open.push_back(OpenElement(out, *child, indentOfChild, newline));
            continue;
        }
        CloseElement(out, frame);
        open.pop_back();
    }
    if (!out.empty()) sink(out);
}

}  // namespace qm::xml

std::string NanoXML::Serialize(int indent, bool newlineBefore) const {
    std::string out;
    qm::xml::SerializeTo(*this, indent, newlineBefore,
                         [&out](std::string_view piece) { out += piece; });
    return out;
}

std::string NanoXML::ToString() const {
    std::string out;
    // References are shown through their targets. A target that is already being rendered
    // further up is a cycle of links; it is written as an empty element instead of forever.
    std::vector<DisplayFrame> open;
    std::unordered_set<const NanoXML*> onPath;
    OpenDisplay(out, *this, 0);
    open.push_back(DisplayFrame{this, 0, 0});
    onPath.insert(this);
    while (!open.empty()) {
        DisplayFrame& frame = open.back();
        if (frame.nextChild < frame.node->children.size()) {
            const NanoXML* child = qm::xml::EndOfLinkChain(frame.node->children[frame.nextChild++]);
            const size_t level = frame.level + 1;
            if (!onPath.insert(child).second) {
                AppendDisplayPad(out, level);
                AppendStartTag(out, *child, false);
                AppendEndTag(out, child->name);
                out += "\r\n";
                continue;
            }
            OpenDisplay(out, *child, level);
            open.push_back(DisplayFrame{child, level, 0});
            continue;
        }
        CloseDisplay(out, *frame.node, frame.level);
        onPath.erase(frame.node);
        open.pop_back();
    }
    return out;
}

int NanoXML::SaveFile(const char* path) {
    if (path == nullptr) return 0;
    std::string content(kDeclaration);
    content += Serialize(0, false);
    const qm::platform::FileStatus status = qm::platform::WriteFile(path, content);
    if (status.ok) return 1;
    // Only a file that cannot be opened is logged; a short write just fails.
    if (status.opened) return 0;
    const std::string reason = status.errorText.substr(0, kMaxErrorText);
    qm::xml::AppendMessage("NanoXML::SaveFile error nr " + std::to_string(status.errorNumber) +
                           ": " + reason + "\r\n");
    return 0;
}
