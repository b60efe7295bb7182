#include "ldf/ldf_describe.h"

#include "ldf/ldf_numbers.h"

namespace qm::ldf {

namespace {

void DescribeEncoding(std::string& out, const LdfSignalEncodingType& encoding) {
    out.append("\t\t\t\tName: ").append(encoding.name).append("\n");
    for (const auto& value : encoding.values) {
        switch (value->valueKind) {
            case kLdfValueLogical: {
                const auto& logical = static_cast<const LdfLogicalValue&>(*value);
                out.append("\t\t\t\t[");
                AppendDecimal(out, logical.signalValue);
                out.append("] ").append(logical.textInfo).append("\n");
                break;
            }
            case kLdfValuePhysical: {
                const auto& physical = static_cast<const LdfPhysicalValue&>(*value);
                out.append("\t\t\t\t[");
                AppendDecimal(out, physical.minimum);
                out.append("..");
                AppendDecimal(out, physical.maximum);
                out.append("] ").append(physical.textInfo).append("\n");
                break;
            }
            case kLdfValueBcd:
                out.append("\t\t\t\tbcd value\n");
                break;
            case kLdfValueAscii:
                out.append("\t\t\t\tascii value\n");
                break;
            default:
                break;
        }
    }
}

void DescribeSignal(std::string& out, size_t index, const LdfStandardSignal& signal) {
    out.append("\t\tSignal[");
    AppendDecimal(out, index);
    out.append("]: ").append(signal.name).append("\n");
    out.append("\t\t\tBit length: ");
    AppendDecimal(out, signal.size);
    out.append("\n\t\t\tBit offset: ");
    AppendDecimal(out, signal.bitOffset);
    out.append("\n\t\t\tEncoding: \n");
    if (signal.encodingType) DescribeEncoding(out, *signal.encodingType);
}

}  // namespace

std::string DescribeLdf(const LdfModel& model) {
    std::string out;
    for (size_t i = 0; i < model.unconditionalFrames.size(); ++i) {
        const LdfUnconditionalFrame& frame = *model.unconditionalFrames[i];
        out.append("Msg[");
        AppendDecimal(out, i);
        out.append("]: ").append(frame.name).append("\n\tID: ");
        AppendDecimal(out, frame.frameId);
        out.append("\n\tByte length: ");
        AppendDecimal(out, frame.length);
        out.append("\n");
        if (frame.publisher) out.append("\tSender: ").append(frame.publisher->name).append("\n");
        out.append("\tSignals:\n");
        for (size_t s = 0; s < frame.signals.size(); ++s) DescribeSignal(out, s, *frame.signals[s]);
    }
    return out;
}

}  // namespace qm::ldf
