// quillmere decode-diag FILE ECU HEX: which request, positive or negative response of which
// service the bytes are, and every parameter decoded.
#include <algorithm>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "diag/diag_codec.h"
#include "diag/diag_tables.h"
#include "diag/message_index.h"
#include "diag_json.h"
#include "diag_load.h"
#include "text_encoding.h"

namespace qmtool {

namespace {

using qm::diag::DecodedParam;

// How many near misses a message that matches nothing lists.
constexpr size_t kCandidates = 3;

std::vector<uint8_t> ParseHex(const std::string& text) {
    std::string digits;
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '0' && i + 1 < text.size() && (text[i + 1] == 'x' || text[i + 1] == 'X')) {
            ++i;
            continue;
        }
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits += c;
        } else if (c != ' ' && c != ':' && c != ',' && c != '-') {
            throw ToolError("'" + text + "' is not a hex byte string");
        }
    }
    if (digits.empty() || digits.size() % 2 != 0)
        throw ToolError("'" + text + "' is not a whole number of hex bytes");
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < digits.size(); i += 2)
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    return bytes;
}

struct Candidate {
    IUDSService* service = nullptr;
    CUDSFunction* function = nullptr;
    const char* kind = "";
    int64_t score = -1;
    size_t prefix = 0;  // bytes that agree with the message's constant form (near misses)
};

bool HasMatchingRequestParam(const CUDSFunction& function) {
    for (const auto& param : function.params) {
        if (param->lengthKind == CParam::kLengthMatchingRequest) return true;
    }
    return false;
}

// Every message of the ECU scored against the bytes. The request's constant form, which
// matching-request parameters compare against, is made only for responses whose constants fit.
std::vector<Candidate> CandidatesOf(IECU* ecu, const std::vector<uint8_t>& bytes) {
    std::vector<Candidate> all;
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            IUDSService* service = cls->GetService(s);
            auto* request = dynamic_cast<CUDSFunction*>(service->GetRequest(0));
            std::vector<uint8_t> requestBytes;
            bool requestMade = false;
            auto add = [&](IUDSFunction* function, const char* kind) {
                auto* own = dynamic_cast<CUDSFunction*>(function);
                if (own == nullptr) return;
                Candidate candidate{service, own, kind};
                candidate.score = qm::diag::MatchFunction(*own, bytes.data(), bytes.size(), {});
                if (candidate.score >= 0 && request != nullptr && own != request &&
                    HasMatchingRequestParam(*own)) {
                    if (!requestMade) requestBytes = qm::diag::EncodeDefaults(*request);
                    requestMade = true;
                    candidate.score =
                        qm::diag::MatchFunction(*own, bytes.data(), bytes.size(), requestBytes);
                }
                all.push_back(candidate);
            };
            if (request) add(request, "request");
            for (uint64_t i = 0; i < service->GetPositiveResponseCount(); ++i)
                add(service->GetPositiveResponse(i), "positiveResponse");
            for (uint64_t i = 0; i < service->GetNegativeResponseCount(); ++i)
                add(service->GetNegativeResponse(i), "negativeResponse");
        }
    }
    return all;
}

// How many leading bytes of the message agree with a candidate's constant form (near misses).
void MeasurePrefixes(std::vector<Candidate>& candidates, const std::vector<uint8_t>& bytes) {
    for (Candidate& candidate : candidates) {
        const std::vector<uint8_t> form = qm::diag::EncodeDefaults(*candidate.function);
        while (candidate.prefix < form.size() && candidate.prefix < bytes.size() &&
               form[candidate.prefix] == bytes[candidate.prefix])
            ++candidate.prefix;
    }
}

Json ParamJson(const DecodedParam& param, const TextDecoder& decoder, bool negative) {
    Json out{{"name", decoder.ToUtf8(param.name)}};
    std::string text = param.text;
    switch (param.kind) {
        case DecodedParam::Kind::kNumber:
            out["raw"] = param.rawUnsigned;
            if (param.scaled) {
                out["value"] = param.physical;
            } else {
                out["value"] = param.raw;
            }
            if (text.empty() && negative) {
                if (const char* name = qm::diag::UdsNegativeResponseName(param.rawUnsigned))
                    text = name;
            }
            break;
        case DecodedParam::Kind::kFloat:
            out["raw"] = param.rawUnsigned;
            out["value"] = param.physical;
            break;
        case DecodedParam::Kind::kBytes:
            out["raw"] = HexBytes(param.bytes, "");
            out["value"] = HexBytes(param.bytes, " ");
            break;
        case DecodedParam::Kind::kText:
            out["raw"] = HexBytes(param.bytes, "");
            out["value"] = decoder.ToUtf8(param.string);
            break;
        case DecodedParam::Kind::kGroup:
            out["raw"] = nullptr;
            out["value"] = nullptr;
            break;
    }
    out["text"] = text.empty() ? Json(nullptr) : Json(decoder.ToUtf8(text));
    out["unit"] = param.unit.empty() ? Json(nullptr) : Json(decoder.ToUtf8(param.unit));
    if (!param.parameters.empty()) {
        Json list = Json::array();
        for (const DecodedParam& sub : param.parameters)
            list.push_back(ParamJson(sub, decoder, false));
        out["parameters"] = std::move(list);
    }
    if (!param.items.empty()) {
        Json items = Json::array();
        for (const auto& item : param.items) {
            Json fields = Json::array();
            for (const DecodedParam& sub : item) fields.push_back(ParamJson(sub, decoder, false));
            items.push_back(std::move(fields));
        }
        out["items"] = std::move(items);
    }
    return out;
}

// A text value in double quotes; the control characters a field may hold (the zeros that fill
// it) are shown as escapes rather than sent to the terminal.
void PrintQuoted(const std::string& text, std::ostream& out) {
    out << '"';
    for (const char c : text) {
        if (static_cast<unsigned char>(c) >= 0x20) {
            out << c;
            continue;
        }
        char escape[8];
        std::snprintf(escape, sizeof escape, "\\x%02X", static_cast<unsigned>(c));
        out << escape;
    }
    out << '"';
}

void PrintParam(const Json& param, const std::string& indent, std::ostream& out) {
    out << indent << param["name"].get<std::string>();
    if (!param["value"].is_null()) {
        out << " = ";
        if (param["value"].is_string()) {
            PrintQuoted(param["value"].get<std::string>(), out);
        } else {
            out << param["value"].dump();
        }
        if (!param["unit"].is_null()) out << ' ' << param["unit"].get<std::string>();
        if (param["raw"].is_number_unsigned()) {
            char buffer[32];
            std::snprintf(buffer, sizeof buffer, "0x%llX",
                          static_cast<unsigned long long>(param["raw"].get<uint64_t>()));
            out << " (raw " << buffer << ')';
        }
        if (!param["text"].is_null()) out << " '" << param["text"].get<std::string>() << '\'';
    }
    out << '\n';
    if (param.contains("parameters")) {
        for (const Json& sub : param["parameters"]) PrintParam(sub, indent + "  ", out);
    }
    if (param.contains("items")) {
        size_t index = 0;
        for (const Json& item : param["items"]) {
            out << indent << "  [" << index++ << "]\n";
            for (const Json& sub : item) PrintParam(sub, indent + "    ", out);
        }
    }
}

// The result of one decoded message, printed as JSON or as text. `service` may be null (a
// global negative response to a service the ECU does not describe).
int PrintResult(IECU& ecu, IUDSService* service, const char* kind, Json parameters,
                const std::string& problem, const TextDecoder& decoder, const Options& options) {
    Json result{{"ecu", decoder.ToUtf8(ecu.GetShortName())},
                {"service", service ? Json(decoder.ToUtf8(service->GetName())) : Json(nullptr)},
                {"kind", kind},
                {"parameters", std::move(parameters)}};
    if (!problem.empty()) result["problem"] = decoder.ToUtf8(problem);
    if (options.json) {
        std::cout << result.dump(2) << '\n';
        return 0;
    }
    std::cout << result["ecu"].get<std::string>() << ": "
              << (service ? result["service"].get<std::string>() : std::string("(any service)"))
              << ", " << kind << '\n';
    for (const Json& param : result["parameters"]) PrintParam(param, "  ", std::cout);
    if (!problem.empty())
        std::cout << "  problem: " << result["problem"].get<std::string>() << '\n';
    return 0;
}

int PrintFunction(IECU& ecu, IUDSService* service, CUDSFunction& function, const char* kind,
                  const std::vector<uint8_t>& bytes, const TextDecoder& decoder,
                  const Options& options) {
    const bool negative = std::string(kind) == "negativeResponse";
    Json parameters = Json::array();
    std::string problem;
    // The response code of a negative response follows its two service bytes.
    size_t index = 0;
    for (const DecodedParam& param :
         qm::diag::DecodeFunction(function, bytes.data(), bytes.size(), &problem))
        parameters.push_back(ParamJson(param, decoder, negative && index++ >= 2));
    return PrintResult(ecu, service, kind, std::move(parameters), problem, decoder, options);
}

int PrintGenericNegative(IECU& ecu, IUDSService* service, const std::vector<uint8_t>& bytes,
                         const TextDecoder& decoder, const Options& options) {
    Json parameters = Json::array();
    const char* names[] = {"SID-NR", "SIDRQ-NR", "NRC"};
    for (size_t i = 0; i < 3; ++i) {
        const char* text = i == 2 ? qm::diag::UdsNegativeResponseName(bytes[2]) : nullptr;
        parameters.push_back({{"name", names[i]},
                              {"raw", bytes[i]},
                              {"value", bytes[i]},
                              {"text", text ? Json(text) : Json(nullptr)},
                              {"unit", nullptr}});
    }
    return PrintResult(ecu, service, "negativeResponse", std::move(parameters), "", decoder,
                       options);
}

}  // namespace

int RunDecodeDiag(const std::string& path, const std::string& ecuName, const std::string& hex,
                  const Options& options) {
    const std::vector<uint8_t> bytes = ParseHex(hex);
    LoadedCdd loaded = Require(path, options);
    IECU* ecu = FindEcu(*loaded.library, ecuName);
    if (ecu == nullptr) throw ToolError("no ECU '" + ecuName + "' in '" + path + "'");
    const TextDecoder decoder = TextDecoder::ForFile(path, options.encoding);
    const qm::diag::MessageIndex index(*ecu);
    const qm::diag::IndexedMessage* best = index.Best(bytes.data(), bytes.size());
    const bool matched = best != nullptr;
    // A negative response the service does not describe is one of the ECU's global negative
    // responses, else the UDS one: 7F, the request's service identifier and the code.
    if (bytes.size() >= 3 && bytes[0] == 0x7F &&
        (!matched || std::string(best->kind) != "negativeResponse")) {
        IUDSService* service = index.ServiceWithId(bytes[1]);
        if (const qm::diag::IndexedMessage* global =
                index.BestGlobalNegative(bytes.data(), bytes.size()))
            return PrintFunction(*ecu, service, *global->function, "negativeResponse", bytes,
                                 decoder, options);
        if (!matched) return PrintGenericNegative(*ecu, service, bytes, decoder, options);
    }
    if (!matched) {
        // The near misses: every message scored, then by how many leading bytes agree.
        std::vector<Candidate> candidates = CandidatesOf(ecu, bytes);
        MeasurePrefixes(candidates, bytes);
        std::stable_sort(
            candidates.begin(), candidates.end(),
            [](const Candidate& a, const Candidate& b) { return a.prefix > b.prefix; });
        std::string message = "the bytes match no service of '" + ecuName + "'";
        if (!candidates.empty()) message += "; closest:";
        for (size_t i = 0; i < std::min(kCandidates, candidates.size()); ++i) {
            const Candidate& near = candidates[i];
            message += std::string(i == 0 ? " " : ", ") + decoder.ToUtf8(near.service->GetName()) +
                       " (" + near.kind + " " +
                       HexBytes(qm::diag::EncodeDefaults(*near.function), " ") + ")";
        }
        if (options.json) {
            Json result{{"ecu", decoder.ToUtf8(ecu->GetShortName())},
                        {"service", nullptr},
                        {"kind", nullptr},
                        {"parameters", Json::array()},
                        {"candidates", Json::array()}};
            for (size_t i = 0; i < std::min(kCandidates, candidates.size()); ++i) {
                result["candidates"].push_back(
                    {{"service", decoder.ToUtf8(candidates[i].service->GetName())},
                     {"kind", candidates[i].kind}});
            }
            std::cout << result.dump(2) << '\n';
        }
        std::cerr << "quillmere: " << message << '\n';
        return 1;
    }
    return PrintFunction(*ecu, best->service, *best->function, best->kind, bytes, decoder, options);
}

}  // namespace qmtool
