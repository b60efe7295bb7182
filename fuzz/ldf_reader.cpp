// Fuzz target of the LDF reader and writer: any bytes are read into a model that is walked
// through its interfaces, the model is written as LDF text, and that text is read and written
// again, so that the writer's output of any model meets the reader too.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "ldf/ldf_reader.h"
#include "ldf/ldf_writer.h"
#include "ldf/netconfig_ldf_file.h"

namespace {

// Touches what the interfaces hand out, as a host walking the model would.
uint64_t WalkModel(NetConfigLdfFile& file) {
    uint64_t seen = 0;
    const uint8_t payload[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    for (uint64_t i = 0; i < file.GetStandardSignalCount(); ++i) {
        seen += file.GetStandardSignal(i)->GetRawValue(payload, sizeof(payload));
    }
    for (uint64_t i = 0; i < file.GetScheduleTableCount(); ++i) {
        ILdfScheduleTable* table = file.GetScheduleTable(i);
        for (uint64_t t = 0; t < table->GetTaskCount(); ++t) {
            seen += table->GetTask(t)->GetCommand()->GetCommandKind();
        }
    }
    for (uint64_t i = 0; i < file.GetNodeCount(); ++i)
        seen += file.GetNode(i)->GetSubscribedFrameCount();
    seen += std::string_view(file.GetInfoText()).size();
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetConfigLdfFile file;
    std::string messages;
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    // Inputs of odd length read tolerantly, the others with the described reader.
    qm::ldf::ReadLdfText(file.Model(), messages, text, nullptr, size % 2 == 1);
    qm::ldf::BindPendingReferences(file.Model());
    volatile uint64_t sink = WalkModel(file);
    (void)sink;

    const std::string written = qm::ldf::WriteLdfText(file.Model());
    NetConfigLdfFile again;
    std::string againMessages;
    qm::ldf::ReadLdfText(again.Model(), againMessages, written);
    qm::ldf::BindPendingReferences(again.Model());
    const std::string rewritten = qm::ldf::WriteLdfText(again.Model());
    NetConfigLdfFile third;
    std::string thirdMessages;
    qm::ldf::ReadLdfText(third.Model(), thirdMessages, rewritten);
    return 0;
}
