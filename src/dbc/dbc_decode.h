#pragma once
// Turning a frame payload into signal values: raw value, sign extension, IEEE floats of the
// extended value types, scaling and value descriptions, and the choice of the signals a
// multiplexer value selects.
#include <cstdint>
#include <vector>

namespace qm::dbc {

class DbcMessage;
class DbcSignal;

struct DecodedSignal {
    const DbcSignal* signal = nullptr;
    uint64_t raw = 0;
    // The raw value as the signal's type reads it: sign-extended for signed signals, the IEEE
    // value for extended value types 1 (float) and 2 (double).
    double value = 0.0;
    // value * factor + offset.
    double physical = 0.0;
    // The value description of the raw value, null when there is none.
    const char* description = nullptr;
};

// The signal's value from its raw bits, before scaling.
double RawToValue(const DbcSignal& signal, uint64_t raw);

DecodedSignal DecodeSignal(const DbcSignal& signal, const uint8_t* payload, uint64_t size);

// Every signal of the message that the payload carries: plain signals, the multiplexer switch,
// of the multiplexed signals those whose multiplex value the switch holds, and of the signals of
// extended multiplexing those whose multiplexer is carried and holds a value of their ranges.
std::vector<DecodedSignal> DecodeFrame(const DbcMessage& message, const uint8_t* payload,
                                       uint64_t size);

}  // namespace qm::dbc
