#pragma once
#include <cstddef>
#include <cstdint>
#include <memory>

namespace qm::codec {

// A payload copied into a buffer with room for one 64-bit load past the `reads` bytes that a
// decode reads (bytes beyond the payload read as zero), so that each field is one load, shift
// and mask whatever the payload's length. With no payload, a zeroed buffer to lay bytes into.
class PaddedPayload {
  public:
    PaddedPayload(const uint8_t* payload, size_t size, size_t reads);
    PaddedPayload(const PaddedPayload&) = delete;
    PaddedPayload& operator=(const PaddedPayload&) = delete;
    const uint8_t* data() const { return bytes_; }
    uint8_t* data() { return bytes_; }

  private:
    uint8_t inline_[136];
    std::unique_ptr<uint8_t[]> heap_;
    uint8_t* bytes_;
};

}  // namespace qm::codec
