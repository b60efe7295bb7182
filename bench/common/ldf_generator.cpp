#include "common/ldf_generator.h"

#include <random>
#include <string>

namespace qm::bench {

namespace {

// Sizes of one generated block of the description; the text is built from as many blocks as
// the target size needs, every block with its own nodes, signals, frames and tables.
constexpr size_t kSlavesPerBlock = 8;
constexpr size_t kFramesPerSlave = 6;
constexpr size_t kSignalsPerFrame = 4;

class LdfText {
  public:
    LdfText(uint32_t seed, LdfFigures& figures) : random_(seed), figures_(figures) {}

    void Generate(size_t targetBytes) {
        // The block count follows from the size of one block, measured on a first block.
        const size_t blockBytes = MeasureBlock();
        blocks_ = targetBytes / blockBytes + 1;
        Header();
        Nodes();
        Signals();
        DiagnosticSignals();
        Frames();
        SporadicFrames();
        EventTriggeredFrames();
        DiagnosticFrames();
        NodeAttributes();
        ScheduleTables();
        EncodingTypes();
        Representations();
    }

    std::string& Text() { return out_; }

  private:
    size_t MeasureBlock() {
        blocks_ = 1;
        Signals();
        Frames();
        NodeAttributes();
        ScheduleTables();
        EncodingTypes();
        const size_t bytes = out_.size();
        out_.clear();
        figures_ = LdfFigures();
        return bytes;
    }

    unsigned Pick(unsigned bound) { return static_cast<unsigned>(random_() % bound); }

    std::string Slave(size_t block, size_t slave) {
        return "Slave" + std::to_string(block) + "_" + std::to_string(slave);
    }
    std::string Frame(size_t block, size_t slave, size_t frame) {
        return "Frame" + std::to_string(block) + "_" + std::to_string(slave) + "_" +
               std::to_string(frame);
    }
    std::string Signal(size_t block, size_t slave, size_t frame, size_t signal) {
        return "Sig" + std::to_string(block) + "_" + std::to_string(slave) + "_" +
               std::to_string(frame) + "_" + std::to_string(signal);
    }

    void Header() {
        out_ += "/* Network: GeneratedLin */\n";
        out_ += "LIN_description_file;\nLIN_protocol_version = \"2.1\";\n";
        out_ += "LIN_language_version = \"2.1\";\nLIN_speed = 19.2 kbps;\n";
        out_ += "Channel_name = \"Generated\";\n\n";
    }

    void Nodes() {
        out_ += "Nodes {\n  Master: Master, 5 ms, 0.1 ms;\n  Slaves: ";
        for (size_t b = 0; b < blocks_; ++b) {
            for (size_t s = 0; s < kSlavesPerBlock; ++s) {
                if (b || s) out_ += ", ";
                out_ += Slave(b, s);
            }
        }
        out_ += ";\n}\n\n";
        figures_.nodes = 1 + blocks_ * kSlavesPerBlock;
    }

    void Signals() {
        out_ += "Signals {\n";
        for (size_t b = 0; b < blocks_; ++b) {
            for (size_t s = 0; s < kSlavesPerBlock; ++s) {
                for (size_t f = 0; f < kFramesPerSlave; ++f) {
                    const bool fromMaster = f == 0;
                    for (size_t g = 0; g < kSignalsPerFrame; ++g) {
                        out_ += "  " + Signal(b, s, f, g) + ": ";
                        if (g == kSignalsPerFrame - 1 && f % 3 == 2) {
                            out_ += "16, {0, 0x";
                            out_ += std::to_string(Pick(90) + 10);
                            out_ += "}, ";
                        } else {
                            out_ += std::to_string(g == 0 ? 8 : 1 + Pick(15)) + ", " +
                                    std::to_string(Pick(2)) + ", ";
                        }
                        out_ += fromMaster ? "Master, " + Slave(b, s) : Slave(b, s) + ", Master";
                        out_ += ";\n";
                        ++figures_.signals;
                    }
                }
            }
        }
        out_ += "}\n\n";
    }

    void DiagnosticSignals() {
        out_ += "Diagnostic_signals {\n";
        for (const char* prefix : {"MasterReqB", "SlaveRespB"}) {
            for (int i = 0; i < 8; ++i) {
                out_ += "  " + std::string(prefix) + std::to_string(i) + ": 8, 0;\n";
                ++figures_.signals;
            }
        }
        out_ += "}\n\n";
    }

    void Frames() {
        out_ += "Frames {\n";
        for (size_t b = 0; b < blocks_; ++b) {
            for (size_t s = 0; s < kSlavesPerBlock; ++s) {
                for (size_t f = 0; f < kFramesPerSlave; ++f) {
                    const std::string publisher = f == 0 ? "Master" : Slave(b, s);
                    out_ += "  " + Frame(b, s, f) + ": 0x" + Hex((b * 48 + s * 6 + f) % 60) + ", " +
                            publisher + ", 8 {\n";
                    for (size_t g = 0; g < kSignalsPerFrame; ++g) {
                        out_ +=
                            "    " + Signal(b, s, f, g) + ", " + std::to_string(8 + g * 16) + ";\n";
                    }
                    out_ += "  }\n";
                    ++figures_.frames;
                }
            }
        }
        out_ += "}\n\n";
    }

    static std::string Hex(size_t value) {
        static const char kDigits[] = "0123456789ABCDEF";
        return {kDigits[(value >> 4) & 0xF], kDigits[value & 0xF]};
    }

    void SporadicFrames() {
        out_ += "Sporadic_frames {\n";
        for (size_t b = 0; b < blocks_; ++b) {
            out_ += "  Sporadic" + std::to_string(b) + ": " + Frame(b, 0, 0) + ", " +
                    Frame(b, 1, 0) + ";\n";
            ++figures_.frames;
        }
        out_ += "}\n\n";
    }

    void EventTriggeredFrames() {
        out_ += "Event_triggered_frames {\n";
        for (size_t b = 0; b < blocks_; ++b) {
            out_ += "  Event" + std::to_string(b) + ": Collisions" + std::to_string(b) + ", 0x" +
                    Hex(1 + b % 58) + ", " + Frame(b, 2, 1) + ", " + Frame(b, 3, 1) + ";\n";
            ++figures_.frames;
        }
        out_ += "}\n\n";
    }

    void DiagnosticFrames() {
        out_ += "Diagnostic_frames {\n";
        for (const char* name : {"MasterReq", "SlaveResp"}) {
            const std::string prefix =
                name == std::string("MasterReq") ? "MasterReqB" : "SlaveRespB";
            out_ += "  " + std::string(name) + ": " + (prefix[0] == 'M' ? "0x3C" : "0x3D") + " {\n";
            for (int i = 0; i < 8; ++i) {
                out_ += "    " + prefix + std::to_string(i) + ", " + std::to_string(i * 8) + ";\n";
            }
            out_ += "  }\n";
            ++figures_.frames;
        }
        out_ += "}\n\n";
    }

    void NodeAttributes() {
        out_ += "Node_attributes {\n";
        for (size_t b = 0; b < blocks_; ++b) {
            for (size_t s = 0; s < kSlavesPerBlock; ++s) {
                out_ += "  " + Slave(b, s) + " {\n    LIN_protocol = \"2.1\";\n";
                out_ += "    configured_NAD = 0x" + Hex(1 + (b * 8 + s) % 125) + ";\n";
                out_ += "    initial_NAD = 0x" + Hex(1 + Pick(125)) + ";\n";
                out_ += "    product_id = 0x1E2F, 0x" + Hex(b % 256) + Hex(s) + ", " +
                        std::to_string(Pick(8)) + ";\n";
                out_ += "    response_error = " + Signal(b, s, 1, 0) + ";\n";
                out_ += "    fault_state_signals = " + Signal(b, s, 2, 0) + ", " +
                        Signal(b, s, 3, 0) + ";\n";
                out_ += "    P2_min = 50 ms;\n    ST_min = 0 ms;\n    N_As_timeout = 1000;\n";
                out_ += "    N_Cr_timeout = 1000;\n    configurable_frames {\n";
                for (size_t f = 0; f < kFramesPerSlave; ++f) {
                    out_ += "      " + Frame(b, s, f) + " = 0x00" + Hex(f) + ";\n";
                }
                out_ += "    }\n  }\n";
            }
        }
        out_ += "}\n\n";
    }

    void CommandEntries(size_t b) {
        const std::string slave = Slave(b, Pick(kSlavesPerBlock));
        out_ += "    AssignNAD { " + slave + " } delay 20 ms;\n";
        out_ += "    ConditionalChangeNAD { 0x7F, 0x01, 0x03, 0x01, 0xFF, 0x01 } delay 20 ms;\n";
        out_ += "    DataDump { " + slave + ", 0x10, 0x80, 0x00, 0xFF, 0xFF } delay 20 ms;\n";
        out_ += "    SaveConfiguration { " + slave + " } delay 20 ms;\n";
        out_ += "    AssignFrameIdRange { " + slave + ", 0 } delay 20 ms;\n";
        out_ +=
            "    AssignFrameIdRange { " + slave + ", 0, 0x40, 0x42, 0xFF, 0xFF } delay 20 ms;\n";
        out_ += "    FreeFormat { 0x3C, 0xB2, 0x00, 0x00, 0xFF, 0x7F, 0xFF, 0xFF } delay 20 ms;\n";
        out_ += "    AssignFrameId { " + slave + ", " + Frame(b, 0, 1) + " } delay 20 ms;\n";
        out_ += "    UnassignFrameId { " + slave + ", " + Frame(b, 0, 1) + " } delay 20 ms;\n";
        figures_.tasks += 9;
    }

    void ScheduleTables() {
        out_ += "Schedule_tables {\n";
        for (size_t b = 0; b < blocks_; ++b) {
            out_ += "  Normal" + std::to_string(b) + " {\n";
            for (size_t s = 0; s < kSlavesPerBlock; ++s) {
                for (size_t f = 0; f < kFramesPerSlave; ++f) {
                    if (f == 1 && s < 4 && s >= 2) continue;  // sent through the event frame
                    out_ += "    " + Frame(b, s, f) + " delay 10 ms;\n";
                    ++figures_.tasks;
                }
            }
            out_ += "    Event" + std::to_string(b) + " delay 10 ms;\n";
            out_ += "    Sporadic" + std::to_string(b) + " delay 10 ms;\n";
            out_ += "    MasterReq delay 10 ms;\n    SlaveResp delay 10 ms;\n  }\n";
            out_ += "  Collisions" + std::to_string(b) + " {\n";
            out_ += "    " + Frame(b, 2, 1) + " delay 10 ms;\n    " + Frame(b, 3, 1) +
                    " delay 10 ms;\n  }\n";
            out_ += "  Configuration" + std::to_string(b) + " {\n";
            CommandEntries(b);
            out_ += "  }\n";
            figures_.tasks += 6;
        }
        out_ += "}\n\n";
    }

    void EncodingTypes() {
        out_ += "Signal_encoding_types {\n";
        for (size_t b = 0; b < blocks_; ++b) {
            out_ += "  State" + std::to_string(b) + " {\n";
            out_ += "    logical_value, 0, \"off\";\n    logical_value, 1, \"on\";\n";
            out_ +=
                "    logical_value, 2, \"error\";\n    logical_value, 3, \"not available\";\n  }\n";
            out_ += "  Level" + std::to_string(b) + " {\n";
            out_ += "    physical_value, 0, 200, 0.5, " + std::to_string(Pick(40)) + ", \"%\";\n";
            out_ += "    physical_value, 201, 250, 1, -40, \"degC\";\n";
            out_ += "    logical_value, 255, \"invalid\";\n  }\n";
            out_ += "  Coded" + std::to_string(b) + " {\n    bcd_value;\n    ascii_value;\n  }\n";
        }
        out_ += "}\n\n";
    }

    void Representations() {
        out_ += "Signal_representation {\n";
        for (size_t b = 0; b < blocks_; ++b) {
            out_ += "  State" + std::to_string(b) + ": ";
            for (size_t s = 0; s < kSlavesPerBlock; ++s) {
                if (s) out_ += ", ";
                out_ += Signal(b, s, 0, 1);
            }
            out_ += ";\n  Level" + std::to_string(b) + ": ";
            for (size_t s = 0; s < kSlavesPerBlock; ++s) {
                if (s) out_ += ", ";
                out_ += Signal(b, s, 4, 0);
            }
            out_ += ";\n";
        }
        out_ += "}\n";
    }

    std::mt19937 random_;
    LdfFigures& figures_;
    size_t blocks_ = 1;
    std::string out_;
};

}  // namespace

std::string GenerateLdf(size_t targetBytes, uint32_t seed, LdfFigures* figures) {
    LdfFigures local;
    LdfFigures& counted = figures ? *figures : local;
    counted = LdfFigures();
    LdfText text(seed, counted);
    text.Generate(targetBytes);
    counted.bytes = text.Text().size();
    return std::move(text.Text());
}

}  // namespace qm::bench
