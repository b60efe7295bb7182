// Frame codecs read back from bytes (what a Dask worker receives): no input may crash or hang
// the reading, and codecs that read decode a payload and encode its values without a fault,
// and write bytes that read again.
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "codec/frame_codec_bytes.h"

namespace {

// Decodes a payload of the frame's size (bytes of the input, zero beyond) and encodes the raw
// values it gave.
void DecodeAndEncode(const qm::codec::FrameCodec& frame, const uint8_t* data, size_t size) {
    std::vector<uint8_t> payload(frame.size, 0);
    // A frame of no bytes has no buffer to copy into (memcpy takes no null pointer).
    if (!payload.empty()) std::memcpy(payload.data(), data, std::min(size, payload.size()));
    std::vector<uint64_t> raws(frame.signals.size(), 0);
    frame.Decode(payload.data(), payload.size(), [&](size_t index, uint64_t raw) {
        raws[index] = raw;
        const qm::codec::SignalCodec& signal = frame.signals[index];
        (void)signal.PhysicalOf(raw);
        // The physical value back to raw, with and without the range check (value texts,
        // scaled ranges and NaN included); a refusal is a CodecError.
        for (const bool checkRange : {true, false}) {
            try {
                (void)signal.RawForPhysical(signal.PhysicalDouble(raw), checkRange);
            } catch (const qm::codec::CodecError&) {
            }
        }
    });
    std::vector<uint8_t> encoded(frame.size, 0);
    for (size_t i = 0; i < frame.signals.size(); ++i) {
        frame.signals[i].layout.Insert(encoded.data(), encoded.size(), raws[i]);
    }
    // A container lays its contained PDUs behind headers again.
    if (frame.container) {
        try {
            (void)frame.Encode({raws.begin(), raws.end()}, false);
        } catch (const qm::codec::CodecError&) {
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    std::vector<std::unique_ptr<qm::codec::FrameCodec>> frames;
    try {
        frames = qm::codec::FramesFromBytes(bytes);
    } catch (const qm::codec::FrameBytesError&) {
        return 0;
    }
    std::vector<const qm::codec::FrameCodec*> written;
    for (const auto& frame : frames) {
        DecodeAndEncode(*frame, data, size);
        written.push_back(frame.get());
    }
    if (qm::codec::FramesFromBytes(qm::codec::FramesToBytes(written)).size() != frames.size()) {
        __builtin_trap();
    }
    return 0;
}
