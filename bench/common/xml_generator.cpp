#include "common/xml_generator.h"

#include <random>

namespace qm::bench {

std::string UuidAttribute(std::mt19937& random) {
    static const char kHex[] = "0123456789abcdef";
    std::string uuid = " UUID=\"";
    for (int i = 0; i < 32; ++i) {
        if (i == 8 || i == 12 || i == 16 || i == 20) uuid += '-';
        uuid += kHex[random() & 15];
    }
    return uuid + "\"";
}

namespace {

class DocumentWriter {
  public:
    DocumentWriter(size_t reserve, uint32_t seed) : random_(seed) { out_.reserve(reserve); }

    void Open(const char* name, int depth, const std::string& attributes = "") {
        Indent(depth);
        out_ += '<';
        out_ += name;
        out_ += attributes;
        out_ += ">\n";
    }
    void Close(const char* name, int depth) {
        Indent(depth);
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }
    void Leaf(const char* name, int depth, const std::string& text,
              const std::string& attributes = "") {
        Indent(depth);
        out_ += '<';
        out_ += name;
        out_ += attributes;
        out_ += '>';
        out_ += text;
        out_ += "</";
        out_ += name;
        out_ += ">\n";
    }
    std::string Uuid() { return UuidAttribute(random_); }
    uint32_t Number(uint32_t limit) { return random_() % limit; }
    size_t Size() const { return out_.size(); }
    std::string& Text() { return out_; }

  private:
    void Indent(int depth) { out_.append(static_cast<size_t>(depth) * 2, ' '); }

    std::mt19937 random_;
    std::string out_;
};

void WriteSignal(DocumentWriter& w, int depth, size_t index) {
    const std::string name = "Signal_" + std::to_string(index);
    w.Open("I-SIGNAL", depth, w.Uuid());
    w.Leaf("SHORT-NAME", depth + 1, name);
    w.Open("DESC", depth + 1);
    w.Leaf("L-2", depth + 2, "Generated signal &lt;" + std::to_string(index) + "&gt;", " L=\"EN\"");
    w.Close("DESC", depth + 1);
    w.Leaf("LENGTH", depth + 1, std::to_string(1 + w.Number(32)));
    w.Leaf("SYSTEM-SIGNAL-REF", depth + 1, "/Signals/System/" + name, " DEST=\"SYSTEM-SIGNAL\"");
    w.Close("I-SIGNAL", depth);
}

void WritePdu(DocumentWriter& w, int depth, size_t index, size_t signals) {
    const std::string name = "Pdu_" + std::to_string(index);
    w.Open("I-SIGNAL-I-PDU", depth, w.Uuid());
    w.Leaf("SHORT-NAME", depth + 1, name);
    w.Leaf("LENGTH", depth + 1, std::to_string(8));
    w.Open("I-SIGNAL-TO-PDU-MAPPINGS", depth + 1);
    for (size_t s = 0; s < signals; ++s) {
        w.Open("I-SIGNAL-TO-I-PDU-MAPPING", depth + 2);
        w.Leaf("SHORT-NAME", depth + 3, name + "_Map_" + std::to_string(s));
        w.Leaf("I-SIGNAL-REF", depth + 3, "/Signals/Signal_" + std::to_string(index * 4 + s),
               " DEST=\"I-SIGNAL\"");
        w.Leaf("PACKING-BYTE-ORDER", depth + 3, "MOST-SIGNIFICANT-BYTE-LAST");
        w.Leaf("START-POSITION", depth + 3, std::to_string(s * 8));
        w.Close("I-SIGNAL-TO-I-PDU-MAPPING", depth + 2);
    }
    w.Close("I-SIGNAL-TO-PDU-MAPPINGS", depth + 1);
    w.Close("I-SIGNAL-I-PDU", depth);
}

}  // namespace

std::string GenerateArxmlLikeDocument(size_t targetBytes, uint32_t seed) {
    DocumentWriter w(targetBytes + (1u << 16), seed);
    w.Text() +=
        "<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n"
        "<AUTOSAR xmlns=\"http://autosar.org/schema/r4.0\" "
        "xmlns:xsi=\"http://www.w3.org/2001/XMLSchema-instance\" "
        "xsi:schemaLocation=\"http://autosar.org/schema/r4.0 AUTOSAR_4-2-2.xsd\">\n";
    // Tools nest packages in a hierarchy (vendor / domain / content), as in real system
    // descriptions, which puts most elements six to ten levels deep.
    w.Open("AR-PACKAGES", 1);
    w.Open("AR-PACKAGE", 2);
    w.Leaf("SHORT-NAME", 3, "GeneratedSystem");
    w.Open("AR-PACKAGES", 3);
    size_t package = 0;
    size_t item = 0;
    const std::string closing =
        "      </AR-PACKAGES>\n    </AR-PACKAGE>\n  </AR-PACKAGES>\n</AUTOSAR>\n";
    while (w.Size() + closing.size() < targetBytes) {
        w.Open("AR-PACKAGE", 4);
        w.Leaf("SHORT-NAME", 5, "Package_" + std::to_string(package++));
        w.Open("ELEMENTS", 5);
        for (int i = 0; i < 50 && w.Size() + closing.size() < targetBytes; ++i, ++item) {
            if (w.Number(3) == 0) {
                WritePdu(w, 6, item, 1 + w.Number(4));
            } else {
                WriteSignal(w, 6, item);
            }
        }
        w.Close("ELEMENTS", 5);
        w.Close("AR-PACKAGE", 4);
    }
    w.Close("AR-PACKAGES", 3);
    w.Close("AR-PACKAGE", 2);
    w.Close("AR-PACKAGES", 1);
    w.Text() += "</AUTOSAR>\n";
    return std::move(w.Text());
}

}  // namespace qm::bench
