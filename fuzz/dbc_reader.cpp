// libFuzzer target of the DBC reader: any bytes are read as a DBC text; what was read is written
// and read again, so that the writer and the reader of its output are exercised too.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "dbc/netconfig_dbc_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    NetConfigDbcFile file;
    file.LoadText(std::string_view(reinterpret_cast<const char*>(data), size), L"fuzz.dbc");
    (void)file.GetInfoText();
    const std::string written = file.RenderText();
    NetConfigDbcFile reread;
    reread.LoadText(written, L"fuzz.dbc");
    (void)reread.RenderText();
    for (uint64_t i = 0; i < reread.GetSignalCount(); ++i) {
        static const uint8_t payload[64] = {0xA5, 0x5A, 0xFF, 0x00, 0x12, 0x34, 0x56, 0x78};
        (void)reread.GetSignal(i)->ExtractRawValue(payload, sizeof(payload));
    }
    return 0;
}
