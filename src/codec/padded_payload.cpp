#include "codec/padded_payload.h"

#include <algorithm>
#include <cstring>

namespace qm::codec {

PaddedPayload::PaddedPayload(const uint8_t* payload, size_t size, size_t reads) {
    const size_t need = reads + 8;
    uint8_t* bytes = inline_;
    if (need > sizeof(inline_)) {
        heap_ = std::make_unique<uint8_t[]>(need);
        bytes = heap_.get();
    }
    const size_t copied = std::min(size, reads);
    if (copied) std::memcpy(bytes, payload, copied);
    std::memset(bytes + copied, 0, need - copied);
    bytes_ = bytes;
}

}  // namespace qm::codec
