#pragma once
// A frame that carries PDUs behind headers (an AUTOSAR container PDU with short or long
// headers): each frame sends any of its contained PDUs, in any order, each as its header (the
// PDU's identifier and length) and its bytes. The frame codec lays the contained PDUs' signals
// one after the other; a payload is read by finding its contained PDUs by their headers and
// copying each one's bytes to its place in that layout, so that the signals are read there as
// in any frame. Encoding writes the layout's bytes back behind headers.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "codec/padded_payload.h"

namespace qm::codec {

struct ContainedLayout {
    std::string name;
    uint32_t headerId = 0;
    uint32_t offset = 0;  // bytes in the laid-out frame where the PDU's bytes start
    uint32_t length = 0;  // bytes of the PDU
    uint32_t firstSignal = 0;
    uint32_t signalCount = 0;
};

class ContainerLayout {
  public:
    uint32_t headerSize = 4;  // 4: 3 bytes of identifier and 1 of length; 8: 4 and 4
    bool headerBigEndian = true;
    std::vector<ContainedLayout> parts;

    // Works out the part of each of a frame's `signalCount` signals; call once parts are set.
    void Prepare(size_t signalCount);
    // The contained PDU that signals[index] belongs to, -1 for none.
    int PartOf(size_t index) const {
        return index < partOfSignal_.size() ? partOfSignal_[index] : -1;
    }
    // The first contained PDU of a header identifier, -1 when none.
    int PartById(uint32_t id) const;

    // Header bytes of the identifier: a short header's 3 of 4, a long one's 4 of 8 (the rest
    // hold the length).
    size_t IdBytes() const { return headerSize == 4 ? 3 : headerSize / 2; }
    // The header of a contained PDU, as a frame sends it.
    void AppendHeader(std::vector<uint8_t>& out, uint32_t id, uint32_t length) const;

  private:
    std::vector<int32_t> partOfSignal_;
};

// A payload of a container frame laid out as its codec lays it: `laidBytes` bytes (and 8 more,
// for a 64-bit load past the last field), the bytes of each contained PDU the payload holds at
// its place, zero elsewhere. The last of a PDU sent twice counts (its latest value). A known PDU
// that the payload cuts short makes the frame incomplete; a PDU of an unknown identifier is
// skipped. What follows the last whole PDU is padding when it is shorter than a header, or a header
// of an unknown identifier whose length runs past the end (unused bytes, 0xFF as often as 0).
class LaidContainer {
  public:
    LaidContainer(const ContainerLayout& layout, const uint8_t* payload, size_t size,
                  size_t laidBytes);
    const uint8_t* data() const { return bytes_.data(); }
    bool Complete() const { return complete_; }
    // Whether the payload holds the field that ends at `endByte` of signals[index].
    bool Holds(size_t index, size_t endByte) const;

  private:
    const ContainerLayout& layout_;
    PaddedPayload bytes_;            // zeroed, then each part's bytes laid in
    std::vector<int64_t> received_;  // bytes of each part the payload held, -1: not sent
    bool complete_ = true;
};

}  // namespace qm::codec
