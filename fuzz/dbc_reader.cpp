// libFuzzer target of the DBC reader: any bytes are read as a DBC text, by the exact reader and
// by tolerant reading; what was read is written and read again, so that the writer and the
// reader of its output are exercised too, and every message is decoded.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "codec_models/model_codecs.h"
#include "dbc/netconfig_dbc_file.h"

namespace {

void ReadWriteRead(std::string_view text, bool tolerant) {
    NetConfigDbcFile file;
    file.SetTolerantReading(tolerant);
    file.LoadText(text, L"fuzz.dbc");
    (void)file.GetInfoText();
    const std::string written = file.RenderText();
    NetConfigDbcFile reread;
    reread.SetTolerantReading(tolerant);
    reread.LoadText(written, L"fuzz.dbc");
    (void)reread.RenderText();
    static const uint8_t payload[64] = {0xA5, 0x5A, 0xFF, 0x00, 0x12, 0x34, 0x56, 0x78};
    for (uint64_t i = 0; i < reread.GetSignalCount(); ++i) {
        (void)reread.GetSignal(i)->ExtractRawValue(payload, sizeof(payload));
    }
    // Decoded as the tool and Python decode: through the frame codec.
    for (const auto& message : reread.Messages()) {
        const auto frame = qm::codec::BuildDbcFrame(*message);
        frame->Decode(payload, sizeof(payload), [&](size_t index, uint64_t raw) {
            const qm::codec::SignalCodec& signal = frame->signals[index];
            (void)signal.PhysicalOf(raw);
            (void)signal.TextOf(raw);
        });
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    ReadWriteRead(text, false);
    ReadWriteRead(text, true);
    return 0;
}
