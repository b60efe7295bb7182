#pragma once
// Decoded messages in one line, for tests that compare a decode with its expected form, and a
// table of such comparisons.
#include <cstdio>
#include <string>
#include <vector>

#include "diag/diag_codec.h"
#include "diag_test_support.h"

namespace qm::diag::test {

// A decoded tree in one line: numbers as raw hex (with their text), strings quoted, bytes in
// hex, groups in braces and repeated items in brackets.
inline std::string Render(const std::vector<DecodedParam>& params) {
    std::string out;
    for (const DecodedParam& param : params) {
        if (!out.empty()) out += ' ';
        out += param.name;
        char buffer[32];
        switch (param.kind) {
            case DecodedParam::Kind::kNumber:
            case DecodedParam::Kind::kFloat:
                std::snprintf(buffer, sizeof buffer, "=%llX",
                              static_cast<unsigned long long>(param.rawUnsigned));
                out += buffer;
                if (!param.text.empty()) out += "'" + param.text + "'";
                break;
            case DecodedParam::Kind::kText:
                out += "=\"" + param.string + "\"";
                break;
            case DecodedParam::Kind::kBytes:
                out += '=';
                for (uint8_t byte : param.bytes) {
                    std::snprintf(buffer, sizeof buffer, "%02X", byte);
                    out += buffer;
                }
                break;
            case DecodedParam::Kind::kGroup:
                if (!param.parameters.empty()) out += "{" + Render(param.parameters) + "}";
                if (!param.items.empty()) {
                    out += '[';
                    for (size_t i = 0; i < param.items.size(); ++i)
                        out += (i ? "|" : "") + Render(param.items[i]);
                    out += ']';
                }
                break;
        }
    }
    return out;
}

// A message's bytes (hex, blanks ignored), its decoded form and the problem the decode names.
struct DecodeCase {
    const CUDSFunction* function;
    const char* hex;
    const char* decoded;
    const char* problem;
};

inline void ExpectDecodes(const std::vector<DecodeCase>& cases) {
    for (const DecodeCase& c : cases) {
        SCOPED_TRACE(c.hex);
        const std::vector<uint8_t> bytes = BytesOfHex(c.hex);
        std::string problem;
        EXPECT_EQ(Render(DecodeFunction(*c.function, bytes.data(), bytes.size(), &problem)),
                  c.decoded);
        EXPECT_EQ(problem, c.problem);
    }
}

}  // namespace qm::diag::test
