#include "dbc_generator.h"

#include <random>
#include <vector>

namespace qm::bench {

namespace {

const char* const kWords[] = {"engine", "speed",  "torque", "status", "request", "counter",
                              "valid",  "sensor", "target", "actual", "mode",    "fault",
                              "brake",  "wheel",  "door",   "light",  "battery", "voltage"};

class DbcWriter {
  public:
    DbcWriter(size_t targetBytes, size_t messages, size_t signalsPerMessage, uint32_t seed)
        : target_(targetBytes),
          messages_(messages),
          perMessage_(signalsPerMessage),
          random_(seed) {}

    std::string Generate(DbcFigures* figures) {
        out_.reserve(target_ + target_ / 8);
        Header();
        Nodes();
        ValueTables();
        Messages();
        Variables();
        Comments();
        Definitions();
        Values();
        Descriptions();
        ValueTypesAndGroups();
        if (figures) {
            figures->bytes = out_.size();
            figures->nodes = nodes_.size();
            figures->messages = messages_;
            figures->signals = messages_ * perMessage_;
        }
        return std::move(out_);
    }

  private:
    size_t Pick(size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random_); }
    const char* Word() { return kWords[Pick(std::size(kWords))]; }
    uint32_t RawId(size_t message) const {
        return message % 4 == 3 ? static_cast<uint32_t>(0x80000000u | (0x18F00000u + message))
                                : static_cast<uint32_t>(message + 1);
    }
    std::string SignalName(size_t message, size_t signal) const {
        return "Sig_" + std::to_string(message) + "_" + std::to_string(signal);
    }
    // Comment text sized so that the whole file reaches the target size.
    std::string Sentence(size_t words) {
        std::string text;
        for (size_t i = 0; i < words; ++i) {
            if (i) text += ' ';
            text += Word();
        }
        return text;
    }

    void Header() {
        out_ +=
            "VERSION \"generated\"\r\n\r\n\r\nNS_ "
            ":\r\n\tNS_DESC_\r\n\tCM_\r\n\tBA_DEF_\r\n\tBA_\r\n"
            "\tVAL_\r\n\tBA_DEF_DEF_\r\n\tBA_DEF_REL_\r\n\tBA_REL_\r\n\tSIG_VALTYPE_\r\n\r\n"
            "BS_: 500 : 12, 34\r\n\r\n";
    }

    void Nodes() {
        for (size_t i = 0; i < 64; ++i) nodes_.push_back("ECU_" + std::to_string(i));
        out_ += "BU_:";
        for (const auto& node : nodes_) out_ += " " + node;
        out_ += "\r\n\r\n";
    }

    void ValueTables() {
        for (size_t t = 0; t < 50; ++t) {
            out_ += "VAL_TABLE_ Table_" + std::to_string(t);
            for (size_t v = 0; v < 8; ++v) out_ += " " + std::to_string(v) + " \"" + Word() + "\"";
            out_ += " ;\r\n";
        }
        out_ += "\r\n";
    }

    void Signal(size_t message, size_t signal) {
        const bool multiplexed = message % 10 == 0;
        const size_t bits = 1 + Pick(16);
        const size_t start = (signal * 8 + Pick(4)) % 512;
        const bool big = Pick(3) == 0;
        out_ += " SG_ " + SignalName(message, signal) + " ";
        if (multiplexed) out_ += signal == 0 ? "M " : "m" + std::to_string(signal % 4) + " ";
        out_ += ": " + std::to_string(big ? start | 7 : start) + "|" + std::to_string(bits) + "@" +
                (big ? "0" : "1") + (Pick(4) == 0 ? "-" : "+");
        static const char* const factors[] = {"1", "0.1", "0.01", "0.5", "1E-05", "0.0625", "2"};
        static const char* const offsets[] = {"0", "-40", "-100", "0.5", "0"};
        out_ += std::string(" (") + factors[Pick(7)] + "," + offsets[Pick(5)] + ") [0|" +
                std::to_string((1u << bits) - 1) + "] \"" + (Pick(2) ? "km/h" : "") + "\" " +
                nodes_[Pick(nodes_.size())] + "," + nodes_[Pick(nodes_.size())] + "\r\n";
    }

    void Messages() {
        for (size_t m = 0; m < messages_; ++m) {
            out_ += "BO_ " + std::to_string(RawId(m)) + " Msg_" + std::to_string(m) + ": " +
                    std::to_string(m % 5 == 0 ? 64 : 8) + " " + nodes_[m % nodes_.size()] + "\r\n";
            for (size_t s = 0; s < perMessage_; ++s) Signal(m, s);
            out_ += "\r\n";
        }
        for (size_t m = 0; m < messages_; m += 7) {
            out_ += "BO_TX_BU_ " + std::to_string(RawId(m)) + " : " + nodes_[m % nodes_.size()] +
                    "," + nodes_[(m + 1) % nodes_.size()] + ";\r\n";
        }
        out_ += "\r\n";
    }

    void Variables() {
        for (size_t v = 0; v < 200; ++v) {
            out_ += "EV_ Env_" + std::to_string(v) + ": " + std::to_string(v % 3) +
                    " [0|1000] \"\" 0 " + std::to_string(v + 1) + " DUMMY_NODE_VECTOR" +
                    std::to_string(v % 4) + " " + nodes_[v % nodes_.size()] + ";\r\n";
        }
        for (size_t v = 0; v < 200; v += 2) {
            out_ += "ENVVAR_DATA_ Env_" + std::to_string(v) + ": 8;\r\n";
        }
        out_ += "\r\n";
    }

    size_t CommentWords() const {
        // Signal lines, attributes and value descriptions make about 60 % of the text; the
        // comments fill the rest of the target.
        const size_t signals = messages_ * perMessage_;
        const size_t estimate = signals * 210;
        const size_t rest = target_ > estimate ? target_ - estimate : 0;
        return std::max<size_t>(2, rest / (signals + 1) / 7);
    }

    void Comments() {
        const size_t words = CommentWords();
        out_ += "CM_ \"Generated network.\";\r\n";
        for (const auto& node : nodes_) out_ += "CM_ BU_ " + node + " \"" + Sentence(5) + "\";\r\n";
        for (size_t m = 0; m < messages_; ++m) {
            out_ += "CM_ BO_ " + std::to_string(RawId(m)) + " \"" + Sentence(6) + "\r\n" +
                    Sentence(4) + "\";\r\n";
            for (size_t s = 0; s < perMessage_; ++s) {
                out_ += "CM_ SG_ " + std::to_string(RawId(m)) + " " + SignalName(m, s) + " \"" +
                        Sentence(words) + "\";\r\n";
            }
        }
        for (size_t v = 0; v < 200; v += 5)
            out_ += "CM_ EV_ Env_" + std::to_string(v) + " \"variable\";\r\n";
    }

    void Definitions() {
        out_ +=
            "BA_DEF_ BO_ \"GenMsgCycleTime\" INT 0 65535;\r\n"
            "BA_DEF_ BO_ \"GenMsgSendType\" ENUM \"Cyclic\",\"Event\",\"IfActive\";\r\n"
            "BA_DEF_ SG_ \"GenSigStartValue\" INT 0 2147483647;\r\n"
            "BA_DEF_ SG_ \"GenSigSendType\" ENUM \"Cyclic\",\"OnWrite\",\"OnChange\";\r\n"
            "BA_DEF_ SG_ \"SigScale\" FLOAT -1000 1000;\r\n"
            "BA_DEF_ BU_ \"NodeLayerModules\" STRING;\r\n"
            "BA_DEF_ BU_ \"ILUsed\" HEX 0 255;\r\n"
            "BA_DEF_ EV_ \"EnvMode\" ENUM \"Off\",\"On\";\r\n"
            "BA_DEF_ \"Baudrate\" INT 0 1000000;\r\n"
            "BA_DEF_ \"BusType\" STRING;\r\n"
            "BA_DEF_REL_ BU_SG_REL_ \"GenSigTimeoutTime\" INT 0 65535;\r\n"
            "BA_DEF_REL_ BU_BO_REL_ \"GenMsgTxRel\" HEX 0 255;\r\n"
            "BA_DEF_REL_ BU_EV_REL_ \"EnvRel\" STRING;\r\n"
            "BA_DEF_DEF_ \"GenMsgCycleTime\" 100;\r\n"
            "BA_DEF_DEF_ \"GenMsgSendType\" \"Cyclic\";\r\n"
            "BA_DEF_DEF_ \"GenSigStartValue\" 0;\r\n"
            "BA_DEF_DEF_ \"GenSigSendType\" \"Cyclic\";\r\n"
            "BA_DEF_DEF_ \"SigScale\" 1.0;\r\n"
            "BA_DEF_DEF_ \"NodeLayerModules\" \"CANoeILNLVector.dll\";\r\n"
            "BA_DEF_DEF_ \"ILUsed\" 1;\r\n"
            "BA_DEF_DEF_ \"EnvMode\" \"Off\";\r\n"
            "BA_DEF_DEF_ \"Baudrate\" 500000;\r\n"
            "BA_DEF_DEF_ \"BusType\" \"CAN\";\r\n"
            "BA_DEF_DEF_REL_ \"GenSigTimeoutTime\" 0;\r\n"
            "BA_DEF_DEF_REL_ \"GenMsgTxRel\" 0;\r\n"
            "BA_DEF_DEF_REL_ \"EnvRel\" \"\";\r\n";
    }

    void Values() {
        out_ += "BA_ \"Baudrate\" 500000;\r\nBA_ \"BusType\" \"CAN\";\r\n";
        for (const auto& node : nodes_) {
            out_ += "BA_ \"NodeLayerModules\" BU_ " + node + " \"CANoeILNLVector.dll\";\r\n";
            out_ += "BA_ \"ILUsed\" BU_ " + node + " 1;\r\n";
        }
        for (size_t m = 0; m < messages_; ++m) {
            const std::string id = std::to_string(RawId(m));
            out_ += "BA_ \"GenMsgCycleTime\" BO_ " + id + " " +
                    std::to_string(10 * (1 + Pick(100))) + ";\r\n";
            out_ += "BA_ \"GenMsgSendType\" BO_ " + id + " " + std::to_string(Pick(3)) + ";\r\n";
            for (size_t s = 0; s < perMessage_; ++s) {
                out_ += "BA_ \"GenSigStartValue\" SG_ " + id + " " + SignalName(m, s) + " " +
                        std::to_string(Pick(100)) + ";\r\n";
                if (s % 4 == 0) {
                    out_ += "BA_REL_ \"GenSigTimeoutTime\" BU_SG_REL_ " +
                            nodes_[Pick(nodes_.size())] + " SG_ " + id + " " + SignalName(m, s) +
                            " 500;\r\n";
                }
            }
            if (m % 9 == 0) {
                out_ += "BA_REL_ \"GenMsgTxRel\" BU_BO_REL_ " + nodes_[m % nodes_.size()] + " " +
                        id + " 1;\r\n";
            }
        }
        for (size_t v = 0; v < 200; v += 3) {
            out_ += "BA_ \"EnvMode\" EV_ Env_" + std::to_string(v) + " 1;\r\n";
            out_ += "BA_REL_ \"EnvRel\" BU_EV_REL_ " + nodes_[v % nodes_.size()] + " Env_" +
                    std::to_string(v) + " \"x\";\r\n";
        }
    }

    void Descriptions() {
        for (size_t m = 0; m < messages_; ++m) {
            for (size_t s = 0; s < perMessage_; s += 3) {
                out_ += "VAL_ " + std::to_string(RawId(m)) + " " + SignalName(m, s);
                for (size_t v = 0; v < 6; ++v)
                    out_ += " " + std::to_string(v) + " \"" + Word() + "\"";
                out_ += " ;\r\n";
            }
        }
        for (size_t v = 0; v < 200; v += 4)
            out_ += "VAL_ Env_" + std::to_string(v) + " 0 \"off\" 1 \"on\" ;\r\n";
    }

    void ValueTypesAndGroups() {
        for (size_t m = 0; m < messages_; m += 11) {
            out_ +=
                "SIG_VALTYPE_ " + std::to_string(RawId(m)) + " " + SignalName(m, 1) + " : 1;\r\n";
        }
        for (size_t m = 0; m < messages_; m += 5) {
            out_ +=
                "SIG_GROUP_ " + std::to_string(RawId(m)) + " Group_" + std::to_string(m) + " 1 :";
            for (size_t s = 0; s < perMessage_ && s < 4; ++s) out_ += " " + SignalName(m, s);
            out_ += ";\r\n";
        }
    }

    size_t target_;
    size_t messages_;
    size_t perMessage_;
    std::mt19937 random_;
    std::vector<std::string> nodes_;
    std::string out_;
};

}  // namespace

namespace {

void ReplaceAll(std::string& text, const std::string& from, const std::string& to) {
    for (size_t at = text.find(from); at != std::string::npos; at = text.find(from, at)) {
        text.replace(at, from.size(), to);
        at += to.size();
    }
}

// Inserts a text right after the first occurrence of anchor.
void InsertAfter(std::string& text, const std::string& anchor, const std::string& insert) {
    const size_t at = text.find(anchor);
    if (at != std::string::npos) text.insert(at + anchor.size(), insert);
}

}  // namespace

size_t ReviseDbc(std::string& text) {
    // Every reference to the signal follows it.
    ReplaceAll(text, "Sig_200_5 ", "Renamed_200_5 ");
    // The factor "F" becomes "3F": "0.1" reads 30.1.
    const size_t signal = text.find(" SG_ Sig_3000_7 ");
    if (signal != std::string::npos) text.insert(text.find('(', signal) + 1, "3");
    // Msg_1001 (a standard message of 8 bytes) shrinks to 6.
    ReplaceAll(text, " Msg_1001: 8 ", " Msg_1001: 6 ");
    // The cycle time of Msg_5000 (identifier 5001) gains a leading 1.
    InsertAfter(text, "BA_ \"GenMsgCycleTime\" BO_ 5001 ", "1");
    // A new extended message before the first BO_TX_BU_ line.
    const size_t tx = text.find("BO_TX_BU_ ");
    if (tx != std::string::npos) {
        text.insert(tx,
                    "BO_ 2684354544 Added_Msg: 8 ECU_1\r\n"
                    " SG_ Added_Sig : 0|8@1+ (1,0) [0|255] \"\" ECU_2\r\n\r\n");
    }
    return 6;
}

std::string GenerateDbc(size_t targetBytes, size_t messages, size_t signalsPerMessage,
                        uint32_t seed, DbcFigures* figures) {
    return DbcWriter(targetBytes, messages, signalsPerMessage, seed).Generate(figures);
}

}  // namespace qm::bench
