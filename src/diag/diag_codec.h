#pragma once
// The message codec of diagnostic functions as written: every parameter at its byte and bit
// position (bit 0 the least significant bit of its last byte, high byte first unless the coding
// says low-high), variable lengths (min-max with termination, param-length-info, leading length,
// end-of-PDU repetition), structures, multiplexers and table structures. One codec serves
// request encoding, message matching and decoding in the tool and the Python module.
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "diag/diag_function.h"

namespace qm::diag {

// One decoded parameter. Numbers keep their raw value; byte fields and strings their bytes.
struct DecodedParam {
    std::string name;
    enum class Kind { kNumber, kFloat, kBytes, kText, kGroup } kind = Kind::kNumber;
    int64_t raw = 0;           // kNumber (signed types sign-extended)
    uint64_t rawUnsigned = 0;  // kNumber as coded
    double physical = 0.0;     // kNumber with scaling, kFloat
    bool scaled = false;
    std::vector<uint8_t> bytes;  // kBytes, kText
    std::string string;          // kText
    std::string text;            // value-table text (DTC text, NRC name, ...)
    std::string unit;
    std::vector<DecodedParam> parameters;          // structure, multiplexer case, table row
    std::vector<std::vector<DecodedParam>> items;  // repeated fields
};

// Decodes `size` bytes as the function's message. Bytes missing at the end decode as absent
// parameters; `problem` (may be null) receives the first way the bytes break the description
// (a field shorter than its minimum, a length beyond the message, missing items), else "".
std::vector<DecodedParam> DecodeFunction(const CUDSFunction& function, const uint8_t* data,
                                         size_t size, std::string* problem = nullptr);

// How well the bytes are the function's message: 0 when they break it or leave bytes over, 1
// when they decode to their last byte without a problem, 2 when moreover every number coded
// by a text table holds a value the table names.
int DecodeFit(const CUDSFunction& function, const uint8_t* data, size_t size);

// How well the bytes fit the function: the number of constant bits that match (service id,
// sub-function, identifiers, and matching-request parameters against `requestBytes`), or -1
// when a constant differs or the message is too short for a constant.
int64_t MatchFunction(const CUDSFunction& function, const uint8_t* data, size_t size,
                      const std::vector<uint8_t>& requestBytes);

// Encodes the function with the given values (parameter name to text: decimal or 0x hex numbers,
// value-table texts, physical values of linear parameters). Constants, reserved fields and
// parameters with a default need no value. False with a message naming the parameter and its
// valid range or texts for a value out of range, an unknown text or a missing value.
bool EncodeFunction(const CUDSFunction& function, const std::map<std::string, std::string>& values,
                    std::vector<uint8_t>& bytes, std::string& error);

// The request bytes with every constant set and everything else zero (no checks).
std::vector<uint8_t> EncodeDefaults(const CUDSFunction& function);

// True for parameters whose value is fixed by the description (coded and physical constants,
// CDD constant components, reserved fields).
bool IsConstant(const CParam& param);

}  // namespace qm::diag
