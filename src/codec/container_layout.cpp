#include "codec/container_layout.h"

#include <algorithm>
#include <cstring>

namespace qm::codec {

namespace {

uint32_t ReadHeaderField(const uint8_t* at, size_t bytes, bool bigEndian) {
    uint32_t value = 0;
    for (size_t i = 0; i < bytes; ++i) {
        const uint8_t byte = at[bigEndian ? i : bytes - 1 - i];
        value = (value << 8) | byte;
    }
    return value;
}

void AppendHeaderField(std::vector<uint8_t>& out, uint32_t value, size_t bytes, bool bigEndian) {
    for (size_t i = 0; i < bytes; ++i) {
        const size_t shift = 8 * (bigEndian ? bytes - 1 - i : i);
        out.push_back(static_cast<uint8_t>(value >> shift));
    }
}

}  // namespace

void ContainerLayout::Prepare(size_t signalCount) {
    partOfSignal_.assign(signalCount, -1);
    for (size_t p = 0; p < parts.size(); ++p) {
        const ContainedLayout& part = parts[p];
        const size_t end =
            std::min<size_t>(signalCount, size_t{part.firstSignal} + part.signalCount);
        for (size_t i = part.firstSignal; i < end; ++i) partOfSignal_[i] = static_cast<int32_t>(p);
    }
}

int ContainerLayout::PartById(uint32_t id) const {
    for (size_t p = 0; p < parts.size(); ++p) {
        if (parts[p].headerId == id) return static_cast<int>(p);
    }
    return -1;
}

void ContainerLayout::AppendHeader(std::vector<uint8_t>& out, uint32_t id, uint32_t length) const {
    AppendHeaderField(out, id, IdBytes(), headerBigEndian);
    AppendHeaderField(out, length, headerSize - IdBytes(), headerBigEndian);
}

LaidContainer::LaidContainer(const ContainerLayout& layout, const uint8_t* payload, size_t size,
                             size_t laidBytes)
    : layout_(layout), bytes_(nullptr, 0, laidBytes), received_(layout.parts.size(), -1) {
    const size_t header = layout.headerSize;
    const size_t idBytes = layout.IdBytes();
    size_t at = 0;
    while (header != 0 && size - at >= header) {
        const uint32_t id = ReadHeaderField(payload + at, idBytes, layout.headerBigEndian);
        const uint32_t length =
            ReadHeaderField(payload + at + idBytes, header - idBytes, layout.headerBigEndian);
        at += header;
        const size_t sent = std::min<size_t>(length, size - at);
        const int part = layout.PartById(id);
        // Bytes of an unknown identifier that run past the end are padding (a frame's unused
        // bytes, 0xFF as often as 0), not a PDU cut short.
        if (sent < length && part < 0) break;
        if (sent < length) complete_ = false;
        if (part >= 0) {  // a PDU sent again: its latest value
            const ContainedLayout& place = layout.parts[static_cast<size_t>(part)];
            const size_t kept = std::min<size_t>(sent, place.length);
            const size_t room = place.offset < laidBytes ? laidBytes - place.offset : 0;
            std::memcpy(bytes_.data() + std::min<size_t>(place.offset, laidBytes), payload + at,
                        std::min(kept, room));
            received_[static_cast<size_t>(part)] = static_cast<int64_t>(kept);
        }
        at += sent;
    }
}

bool LaidContainer::Holds(size_t index, size_t endByte) const {
    const int part = layout_.PartOf(index);
    if (part < 0) return false;
    const int64_t received = received_[static_cast<size_t>(part)];
    return received >= 0 && endByte <= layout_.parts[static_cast<size_t>(part)].offset +
                                           static_cast<uint64_t>(received);
}

}  // namespace qm::codec
