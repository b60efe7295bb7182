// Every diagnostic file of the shared corpus, read as described (format, ECUs, counts, archive
// members, container form) and as written (message index, generated values, requests by hand).
#include <gtest/gtest.h>

#include <cmath>
#include <map>
#include <tuple>

#include "diag/diag_codec.h"
#include "diag/diag_tables.h"
#include "diag/diagnose_lib.h"
#include "diag/message_index.h"
#include "diag_test_support.h"
#include "expect_fields.h"

namespace qm::diag::test {
namespace corpus {
namespace {

struct EcuPin {
    const char* name;
    uint8_t base;
    uint64_t services;
    uint64_t dtcs;
};

// Through the message index: ECUs; requests without values, back to their service, to a twin;
// positive responses from their constants, decoded as positive; decodes with a problem.
struct IndexTrips {
    uint64_t ecus = 0, requests = 0, sameService = 0, twin = 0, responses = 0, asPositive = 0,
             problems = 0;
    bool operator==(const IndexTrips&) const = default;
};

std::ostream& operator<<(std::ostream& out, const IndexTrips& r) {
    return out << "{" << r.ecus << ", " << r.requests << ", " << r.sameService << ", " << r.twin
               << ", " << r.responses << ", " << r.asPositive << ", " << r.problems << "}";
}

// From generated values: requests and positive responses that round-trip; failures by reason.
struct GeneratedTrips {
    size_t requests = 0, responses = 0;
    std::map<std::string, size_t> failures = {};  // reason -> count
};

struct CorpusRow {
    // Read as described.
    const char* format = nullptr;   // not pinned for archives
    std::vector<EcuPin> ecus = {};  // ODX and PDX
    ModelCounts counts = {};        // CDD
    const char* messages = "";      // CDD: the reader's lines without the timing lines
    std::vector<std::pair<const char*, const char*>> cddRequests = {};  // name or qualifier, hex
    int odxMembers = 0;                                                 // PDX
    // Read as written.
    IndexTrips index = {};
    GeneratedTrips generated = {};
    std::map<std::string, uint64_t> dtcs = {};      // ECU -> DTCs, where not as described
    std::map<std::string, uint64_t> services = {};  // ECU -> services
    std::vector<std::tuple<const char*, const char*, const char*>> requests =
        {};  // ECU, service, hex
};

// Services are counted after inheritance and duplicate removal; DTCs are those below each
// variant element. As written, protocols, functional groups and shared data are ECUs too.
const std::map<std::string, CorpusRow>& Rows() {
    static const std::map<std::string, CorpusRow> rows = {
        {"Bootloader.cdd",
         {.format = "CANDELA_6.0.130",
          .counts = {1, 11, 61, 183, 506, 631},
          .cddRequests = {{"ExtendedDiagnosticSession_Start", "1003"},
                          {"Application_Software_Identification_Read_1", "22F194"}},
          .index = {1, 35, 35, 0, 61, 61, 0},
          .generated = {61, 61}}},
        {"Bootloader.odx",
         {.format = "ODX_2.1.0",
          .ecus = {{"Bootloader", 1, 73, 0}},
          .index = {3, 55, 55, 0, 55, 55, 0},
          .generated = {73, 55},
          .services = {{"Bootloader", 73}}}},
        // Three base variants with an inheriting ECU variant each; 12 requests twin an earlier
        // one's bytes; two response parameters ETC have other text tables (values are by name).
        {"DTS_Example.pdx",
         {.ecus = {{"BV_ACM", 1, 31, 12},
                   {"EV_ACM_001", 0, 31, 0},
                   {"BV_ECM", 1, 42, 10},
                   {"EV_ECM_001", 0, 42, 0},
                   {"BV_RCM", 1, 32, 5},
                   {"EV_RCM_001", 0, 32, 0}},
          .odxMembers = 25,
          .index = {15, 511, 489, 22, 550, 550, 0},
          .generated = {550,
                        539,
                        {{"response: parameter 'ETC': unknown text 'ET_00'; valid texts: "
                          "'stopResponseOnEvent', 'reportActivatedEvents', "
                          "'startResponseOnEvent', 'clearResponseOnEvent'",
                          11}}},
          // Each ECU variant inherits the DTC-DOPs of its base variant.
          .dtcs = {{"EV_ACM_001", 12}, {"EV_ECM_001", 10}, {"EV_RCM_001", 5}},
          // The functional groups, protocols and shared data have services of their own.
          .services = {{"BV_ACM", 54},
                       {"EV_ACM_001", 54},
                       {"BV_ECM", 63},
                       {"EV_ECM_001", 63},
                       {"BV_RCM", 57},
                       {"EV_RCM_001", 57},
                       {"FG_UDSonCAN", 42},
                       {"PR_UDSOnCAN", 40},
                       {"SD_15765_3_Services", 40}}}},
        {"Diagnostics.odx-d",
         {.format = "ODX_2.2.0",
          .ecus = {{"E400_UDS_Demo", 1, 73, 0}},
          .index = {2, 57, 57, 0, 53, 53, 0},
          .generated = {73, 53},
          .services = {{"E400_UDS_Demo", 73}}}},
        {"EBC-Diagnostics_old.odx",
         {.format = "ODX_2.2.0",
          .ecus = {{"Bootloader", 1, 256, 34}},
          .index = {2, 180, 180, 0, 238, 238, 0},
          .generated = {256, 238},
          .services = {{"Bootloader", 256}}}},
        // The 862 DTCs live in the shared fault-memory data, not below the base variant.
        {"Hardi_v2-r15153.odx",
         {.format = "ODX_2.0.1",
          .ecus = {{"Hardi_ECU", 1, 192, 0}},
          .index = {3, 153, 153, 0, 169, 169, 0},
          .generated = {192, 169},
          // As written, the base variant's DTC-DOP lists them through DTC-REFs.
          .dtcs = {{"Hardi_ECU", 862}, {"ESD_Hardi_ECU_faultMemory", 862}},
          .services = {{"Hardi_ECU", 192}}}},
        // Communication parameters only: no variant, no ECU, no format.
        {"ISO_15765_3_CPSS.odx-cs", {.format = ""}},
        // As written, the variant inherits Door's 86 services; suppress-bit sub-functions are one
        // byte, and the 16-bit key follows the sub-function.
        {"UDS-ExampleEcu-5.2.1.pdx",
         {.ecus = {{"Door", 1, 86, 6}, {"DevSample", 0, 0, 0}},
          .odxMembers = 11,
          .index = {6, 136, 132, 4, 190, 190, 0},
          .generated = {172, 190},
          .dtcs = {{"DevSample", 6}},
          .services = {{"Door", 86}, {"DevSample", 86}},
          .requests = {{"Door", "DefaultSession_Start", "1001"},
                       {"Door", "KeyLevel_0x01_Send", "27020000"},
                       {"DevSample", "SerialNumber_Read", "22F18C"}}}},
        {"UDSOnCAN_CPS.odx-c", {.format = ""}},
        {"example-diddatarefs.cdd",
         {.format = "CANDELA_10.0.108",
          .counts = {1, 6, 12, 36, 94, 108},
          .cddRequests = {{"Control_Digital_IO_Control", "2F030003000000"},
                          {"TesterPresent_Send", "3E00"}},
          .index = {1, 7, 7, 0, 12, 12, 0},
          // Two parameters "IO State" with other value texts: the generated values are by name.
          .generated = {11,
                        11,
                        {{"request: parameter 'IO State': unknown text 'DIO_LOW'; valid texts: "
                          "'off', 'on'",
                          1}}}}},
        {"example.cdd",
         {.format = "CANDELA_2.0.5",
          .counts = {1, 10, 32, 96, 247, 352},
          .cddRequests = {{"Programming Session Starten", "1085"}, {"REI", "1A90"}},
          .index = {1, 19, 19, 0, 31, 31, 0},
          .generated = {32, 32}}},
        // The one data type whose byte order is "4321" is reported once; the model is complete.
        {"invalid-bo-example.cdd",
         {.format = "CANDELA_2.0.5",
          .counts = {1, 10, 32, 96, 247, 352},
          .messages = "WARNING. Unknown byte order \"4321\" in data type _0x01dbd120.\r\n",
          .index = {1, 19, 19, 0, 31, 31, 0},
          .generated = {32, 32}}},
        {"lenient-base.odx-d",
         {.format = "ODX_2.2.0",
          .ecus = {{"LenientECU", 1, 1, 0}},
          .index = {1, 0, 0, 0, 1, 1, 0},
          .generated = {1, 1},
          .services = {{"LenientECU", 1}}}},
        // A variant without one inherited service; the response's length field names the request's
        // key.
        {"odx-converter_synthetic.pdx",
         {.ecus = {{"SynthECU", 1, 5, 2}, {"SynthVariantA", 0, 6, 0}},
          .odxMembers = 6,
          .index = {6, 4, 4, 0, 16, 16, 3},
          .generated = {16,
                        13,
                        {{"response: parameter 'ParamLenData': its length key was not decoded "
                          "before it",
                          3}}},
          .dtcs = {{"SynthVariantA", 2}},
          .services = {{"SynthECU", 5}, {"SynthVariantA", 5}},
          .requests = {{"SynthECU", "ReadWithAllParams", "312A6400000001000000"}}}},
        {"odx_min_example.odx",
         {.format = "ODX_2.1.0",
          .ecus = {{"ECUxxx", 1, 2, 0}},
          .index = {2, 2, 2, 0, 2, 2, 0},
          .generated = {2, 2},
          .services = {{"ECUxxx", 2}}}},
        // Communication parameters and protocols only: as written three protocols, no services.
        {"opensovd-cda_doip_base.pdx", {.odxMembers = 6, .index = {3, 0, 0, 0, 0, 0, 0}}},
        // PARENT-REFs without DOCREF: as described unresolved (lazy keeps nothing, assiduous its
        // headstand); as written inherited from the base variant of their own container.
        {"somersault.pdx",
         {.ecus = {{"somersault_base_variant", 1, 8, 0},
                   {"somersault_lazy", 0, 0, 0},
                   {"somersault_assiduous", 0, 1, 0}},
          .odxMembers = 7,
          .index = {4, 12, 12, 0, 20, 20, 0},
          .generated = {23, 20},
          .services = {{"somersault_base_variant", 8},
                       {"somersault_lazy", 6},
                       {"somersault_assiduous", 9}},
          .requests = {{"somersault_lazy", "do_forward_flips", "BA0000"}}}},
    };
    return rows;
}

// ---------------------------------------------------------------------------------------------
// Read as described

// The reader's lines without the timing lines.
std::string WarningLines(const std::string& messages) {
    std::string kept;
    size_t start = 0;
    while (start < messages.size()) {
        size_t end = messages.find('\n', start);
        if (end == std::string::npos) end = messages.size() - 1;
        const std::string line = messages.substr(start, end - start + 1);
        if (line.rfind("CDD Refs multicore: ", 0) != 0) kept += line;
        start = end + 1;
    }
    return kept;
}

void ExpectCddAsDescribed(CDiagnoseLib& file, const CorpusRow& row) {
    EXPECT_EQ(CountModel(file), row.counts);
    EXPECT_EQ(WarningLines(file.GetMessages()), row.messages);
    EXPECT_EQ(file.GetExtDocumentCount(), 0u);  // their documents are storage items
    // Every service has one message of each kind and a request that encodes.
    for (uint64_t c = 0; c < file.GetEcu(0)->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = file.GetEcu(0)->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            IUDSService* service = cls->GetService(s);
            ASSERT_EQ(service->GetRequestCount(), 1u) << service->GetQual();
            EXPECT_EQ(EncodedBytes(service->GetRequest(0)).front(), service->GetServiceId());
        }
    }
    for (const auto& [key, hex] : row.cddRequests) {
        IUDSService* service = ServiceOf(file.GetEcu(0), key);
        if (service == nullptr) service = ServiceByQual(file, key);
        ASSERT_NE(service, nullptr) << key;
        EXPECT_EQ(Hex(EncodedBytes(service->GetRequest(0))), hex) << key;
    }
}

void ExpectEcus(CDiagnoseLib& file, const std::vector<EcuPin>& pins) {
    ASSERT_EQ(file.GetEcuCount(), pins.size());
    for (size_t e = 0; e < pins.size(); ++e) {
        IECU* ecu = file.GetEcu(e);
        SCOPED_TRACE(pins[e].name);
        QM_EXPECT_FIELDS(*ecu, (GetShortName(), std::string(pins[e].name)),
                         (IsJobFile(), pins[e].base), (GetDtcCount(), pins[e].dtcs));
        EXPECT_EQ(ServiceCount(ecu), pins[e].services);
    }
}

void ExpectOdxAsDescribed(CDiagnoseLib& file) {
    for (uint64_t e = 0; e < file.GetEcuCount(); ++e) {
        IECU* ecu = file.GetEcu(e);
        // "Others", when present, is the last class.
        for (uint64_t c = 0; c + 1 < ecu->GetFunctionalClassCount(); ++c)
            EXPECT_STRNE(ecu->GetFunctionalClass(c)->GetName(), "Others");
    }
    const std::string messages = file.GetMessages();
    EXPECT_EQ(messages.rfind("ODX Refs multicore: ", 0), 0u);
    EXPECT_THAT(messages, HasSubstr("NEW: Resolved REFS:"));
}

void ExpectPdxAsDescribed(CDiagnoseLib& file, const std::filesystem::path& path, int members) {
    const std::string messages = file.GetMessages();
    EXPECT_THAT(messages, HasSubstr("ODX count in PDX file: " + std::to_string(members) + "\r\n"));
    EXPECT_EQ(Occurrences(messages, "Decompressing ODX out of PDX: \""),
              static_cast<size_t>(members));
    EXPECT_THAT(messages, Not(HasSubstr("ERROR")));
    // Each of these members holds one "ODX" root, marked with the archive and the member.
    ASSERT_EQ(file.SourceTree()->children.size(), static_cast<size_t>(members));
    for (NanoXML* root : file.SourceTree()->children) {
        EXPECT_EQ(root->name, "ODX");
        EXPECT_EQ(root->GetAttribute("DiagnoseLibSrc").rfind(path.string() + "/", 0), 0u);
    }
    // Ran BuildModel: the reference statistics follow the archive's lines.
    EXPECT_THAT(messages, HasSubstr("NEW: Resolved REFS:"));
}

// ---------------------------------------------------------------------------------------------
// Read as written: through the message index

// A positive response from its constants, with what it repeats taken from the request's.
std::vector<uint8_t> ResponseBytes(const IndexedMessage& response) {
    std::vector<uint8_t> bytes = EncodeDefaults(*response.function);
    auto* request = dynamic_cast<CUDSFunction*>(response.service->GetRequest(0));
    if (request == nullptr) return bytes;
    const std::vector<uint8_t> asked = EncodeDefaults(*request);
    for (const auto& param : response.function->params) {
        if (param->lengthKind != CParam::kLengthMatchingRequest || param->bytePosition < 0)
            continue;
        const size_t at = static_cast<size_t>(param->bytePosition);
        const size_t from = static_cast<size_t>(param->requestBytePosition);
        for (size_t i = 0; i < static_cast<size_t>(param->bitLength / 8); ++i) {
            if (at + i < bytes.size() && from + i < asked.size()) bytes[at + i] = asked[from + i];
        }
    }
    return bytes;
}

IndexTrips IndexTripsOf(CDiagnoseLib& library) {
    IndexTrips counts;
    for (const auto& ecu : library.Ecus()) {
        ++counts.ecus;
        const MessageIndex index(*ecu);
        for (const IndexedMessage& message : index.Messages()) {
            std::vector<uint8_t> bytes;
            std::string error;
            const bool isRequest = std::string_view(message.kind) == "request";
            if (isRequest) {
                if (!EncodeFunction(*message.function, {}, bytes, error) || bytes.empty()) continue;
                ++counts.requests;
            } else if (std::string_view(message.kind) == "positiveResponse") {
                bytes = ResponseBytes(message);
                if (bytes.empty()) continue;
                ++counts.responses;
            } else {
                continue;
            }
            const IndexedMessage* found = index.Best(bytes.data(), bytes.size());
            if (found == nullptr) continue;
            std::string problem;
            DecodeFunction(*found->function, bytes.data(), bytes.size(), &problem);
            counts.problems += problem.empty() ? 0 : 1;
            if (!isRequest) {
                counts.asPositive += std::string_view(found->kind) == "positiveResponse";
            } else if (found->service == message.service) {
                ++counts.sameService;
            } else if (std::string_view(found->kind) == "request" &&
                       MatchFunction(*found->function, bytes.data(), bytes.size(), {}) ==
                           MatchFunction(*message.function, bytes.data(), bytes.size(), {}) &&
                       found->ordinal < message.ordinal) {
                ++counts.twin;  // the bytes fit both alike: the first service takes them
            } else {
                ADD_FAILURE() << ecu->shortName << ": " << message.service->GetName() << " ("
                              << Hex(bytes, " ") << ") decodes as " << found->service->GetName()
                              << " " << found->kind;
            }
        }
    }
    return counts;
}

// ---------------------------------------------------------------------------------------------
// Read as written: from generated values

// A value for a parameter without one: the first value-table text, else 0; the minimum length
// of a variable field; the request's bytes where a response repeats them; no repeated items.
void GenerateValues(const std::vector<std::unique_ptr<CParam>>& params,
                    std::map<std::string, std::string>& values,
                    const std::vector<uint8_t>& request = {}) {
    for (const auto& param : params) {
        // Multiplexers encode their default case; length keys take their field's length.
        const bool mux = param->subParams.size() == 2 && param->subParams[0]->isKey != 0 &&
                         param->subParams[0]->name == "MuxSwitchKey";
        if (param->isVariableLength != 0 || mux || param->type == "LENGTH-KEY") continue;
        GenerateValues(param->subParams, values, request);
        for (const auto& row : param->conditionalParams) {
            GenerateValues(row->subParams, values, request);
            // A table row of a plain value takes the table structure's value.
            if (row->subParams.empty()) values.try_emplace(param->name, "0");
        }
        if (IsConstant(*param) || !param->valueStr.empty() || !param->subParams.empty() ||
            !param->conditionalParams.empty())
            continue;
        const size_t bytes = std::max<size_t>(param->arraySizeMin, 1);
        if (param->lengthKind == CParam::kLengthMatchingRequest) {
            const size_t from = static_cast<size_t>(param->requestBytePosition);
            const size_t length = static_cast<size_t>(param->bitLength / 8);
            if (from + length <= request.size() && length > 0)
                values.try_emplace(param->name, "0x" + Hex({request.begin() + from,
                                                            request.begin() + from + length}));
        } else if (param->baseTypeCode >= kTypeAscii && param->baseTypeCode <= kTypeUtf16) {
            values.try_emplace(param->name, std::string(bytes, 'A'));
        } else if (param->lengthKind != CParam::kLengthFixed) {
            values.try_emplace(param->name, "0x" + std::string(2 * bytes, '0'));
        } else {
            values.try_emplace(param->name, param->valueTable.empty()
                                                ? "0"
                                                : std::string(param->valueTable[0]->text.c_str()));
        }
    }
}

// Whether every generated value comes back from the decoded message (texts or raw numbers).
bool ValuesComeBack(const std::vector<DecodedParam>& decoded,
                    const std::map<std::string, std::string>& values, std::string& differs) {
    for (const DecodedParam& param : decoded) {
        if (!ValuesComeBack(param.parameters, values, differs)) return false;
        for (const auto& item : param.items) {
            if (!ValuesComeBack(item, values, differs)) return false;
        }
        const auto given = values.find(param.name);
        if (given == values.end() || param.kind != DecodedParam::Kind::kNumber) continue;
        // Physical values within the rounding of one coded step.
        const double wanted = std::strtod(given->second.c_str(), nullptr);
        const bool physical = param.scaled && std::abs(wanted - param.physical) < 0.5;
        const bool number = std::strtoull(given->second.c_str(), nullptr, 0) == param.rawUnsigned;
        if (param.text != given->second && !number && !physical) {
            differs = param.name + " = " + given->second + ", decoded " +
                      std::to_string(param.rawUnsigned);
            return false;
        }
    }
    return true;
}

GeneratedTrips GeneratedTripsOf(CDiagnoseLib& library) {
    GeneratedTrips trips;
    for (const auto& ecu : library.Ecus()) {
        std::vector<const CUDSFunction*> responses;
        for (const auto& cls : ecu->functionalClasses) {
            for (const auto& service : cls->services) {
                for (const auto& f : service->positiveResponses) responses.push_back(f.get());
                for (const auto& f : service->negativeResponses) responses.push_back(f.get());
            }
        }
        for (const auto& cls : ecu->functionalClasses) {
            for (const auto& service : cls->services) {
                std::vector<uint8_t> request;
                std::string error;
                if (!service->requests.empty()) {
                    const CUDSFunction& function = *service->requests.front();
                    std::map<std::string, std::string> values;
                    GenerateValues(function.params, values);
                    if (!EncodeFunction(function, values, request, error)) {
                        ++trips.failures["request: " + error];
                        continue;
                    }
                    ++trips.requests;
                    // A request matches itself at least as well as any response of its ECU.
                    const int64_t own = MatchFunction(function, request.data(), request.size(), {});
                    EXPECT_GE(own, 0) << service->name;
                    for (const CUDSFunction* other : responses)
                        EXPECT_LE(MatchFunction(*other, request.data(), request.size(), request),
                                  own)
                            << service->name << " looks more like a response";
                }
                for (const auto& response : service->positiveResponses) {
                    std::map<std::string, std::string> values;
                    GenerateValues(response->params, values, request);
                    std::vector<uint8_t> bytes;
                    std::string differs;
                    if (!EncodeFunction(*response, values, bytes, error)) {
                        ++trips.failures["response: " + error];
                    } else if (MatchFunction(*response, bytes.data(), bytes.size(), request) < 0) {
                        ++trips.failures["response: does not match its own bytes"];
                    } else if (!ValuesComeBack(
                                   DecodeFunction(*response, bytes.data(), bytes.size(), &error),
                                   values, differs) ||
                               !error.empty()) {
                        ++trips.failures["response: " + error + differs];
                    } else {
                        ++trips.responses;
                    }
                }
            }
        }
    }
    return trips;
}

void ExpectAsWritten(CDiagnoseLib& library, const CorpusRow& row) {
    const IndexTrips index = IndexTripsOf(library);
    EXPECT_EQ(index, row.index);
    const GeneratedTrips generated = GeneratedTripsOf(library);
    EXPECT_EQ(generated.requests, row.generated.requests);
    EXPECT_EQ(generated.responses, row.generated.responses);
    EXPECT_EQ(generated.failures, row.generated.failures);
    for (const auto& [ecuName, count] : row.services) {
        IECU* ecu = EcuNamed(library, ecuName);
        ASSERT_NE(ecu, nullptr) << ecuName;
        EXPECT_EQ(ServiceNames(ecu).size(), count) << ecuName;
    }
    for (const auto& [ecuName, count] : row.dtcs) {
        IECU* ecu = EcuNamed(library, ecuName);
        ASSERT_NE(ecu, nullptr) << ecuName;
        EXPECT_EQ(ecu->GetDtcCount(), count) << ecuName;
    }
    for (const auto& [ecuName, serviceName, hex] : row.requests) {
        auto* service =
            dynamic_cast<CUDSService*>(ServiceOf(EcuNamed(library, ecuName), serviceName));
        ASSERT_TRUE(service != nullptr && !service->requests.empty()) << serviceName;
        EXPECT_EQ(Hex(EncodeDefaults(*service->requests.front())), hex) << serviceName;
    }
}

TEST(DiagCorpus, EveryFileReadBothWays) {
    const std::vector<std::filesystem::path> files = CorpusDiagFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
    EXPECT_EQ(files.size(), Rows().size());
    for (const std::filesystem::path& path : files) {
        const std::string name = path.filename().string();
        const std::string extension = path.extension().string();
        SCOPED_TRACE(name);
        const auto row = Rows().find(name);
        ASSERT_NE(row, Rows().end()) << "a corpus file without pinned counts";
        {
            CDiagnoseLib described;
            NanoXML::ClearMessageLog();
            ASSERT_EQ(LoadDiagFile(described, path), 1);
            if (row->second.format != nullptr) {
                EXPECT_STREQ(described.GetFormat(), row->second.format);
            }
            if (extension == ".cdd") {
                ExpectCddAsDescribed(described, row->second);
            } else {
                ExpectEcus(described, row->second.ecus);
            }
            if (extension == ".pdx") {
                ExpectPdxAsDescribed(described, path, row->second.odxMembers);
            } else if (extension != ".cdd") {
                ExpectOdxAsDescribed(described);
            }
            if (described.GetEcuCount() > 0) ExpectSameThroughTheContainerForm(described, name);
        }
        CDiagnoseLib written;
        ASSERT_EQ(LoadDiagFile(written, path, true), 1);
        ExpectAsWritten(written, row->second);
    }
}

// ---------------------------------------------------------------------------------------------
// Files checked by hand against what they hold

class DiagCorpusFile : public ::testing::Test {
  protected:
    void SetUp() override {
        if (CorpusDiagFiles().empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
        NanoXML::ClearMessageLog();
    }
    void Load(const char* name) { ASSERT_EQ(LoadDiagFile(library, CorpusDir() / name), 1); }
    CDiagnoseLib library;
};

TEST_F(DiagCorpusFile, CddServicesByHand) {
    Load("example.cdd");
    IECU* ecu = library.GetEcu(0);
    // Latin-1 bytes, as the file holds them; the German text is preferred.
    EXPECT_STREQ(ecu->GetShortName(), "Ein Beispiel-Steuerger\xE4t");
    IUDSService* session = ServiceOf(ecu, "Programming Session Starten");
    ASSERT_NE(session, nullptr);
    EXPECT_STREQ(session->GetQual(), "STDS");
    IUDSFunction* negative = session->GetNegativeResponse(0);
    ASSERT_EQ(negative->GetParamCount(), 3u);
    IParam* code = negative->GetParam(2);
    QM_EXPECT_FIELDS(*code, (GetName(), "RESPONSE CODE"), (GetBytePosition(), 2));
    EXPECT_EQ(code->GetValueCount(), 4u);  // the instance's local table
    EXPECT_EQ(code->GetDisplayFormat(), 3u);
    IUDSService* ident = ServiceByQual(library, "REI");
    ASSERT_NE(ident, nullptr);
    EXPECT_EQ(ident->GetServiceId(), 0x1A);
    IParam* data = ident->GetPositiveResponse(0)->GetParam(2);
    EXPECT_EQ(data->GetBytePosition(), 2);
    EXPECT_EQ(data->GetSubParamCount(), 5u);  // the five data objects of the instance

    CDiagnoseLib bootloader;
    ASSERT_EQ(LoadDiagFile(bootloader, CorpusDir() / "Bootloader.cdd"), 1);
    IUDSService* extended = ServiceByQual(bootloader, "ExtendedDiagnosticSession_Start");
    ASSERT_NE(extended, nullptr);
    IUDSFunction* positive = extended->GetPositiveResponse(0);
    ASSERT_EQ(positive->GetParamCount(), 3u);
    QM_EXPECT_FIELDS(*positive->GetParam(2), (GetBytePosition(), 2), (GetBitLength(), 32));
}

TEST_F(DiagCorpusFile, OdxOldModelVersionFile) {
    Load("Hardi_v2-r15153.odx");
    IECU* ecu = library.GetEcu(0);
    // Every service names one of the 11 functional classes: there is no "Others" last.
    EXPECT_EQ(ecu->GetFunctionalClassCount(), 11u);
    EXPECT_STRNE(ecu->GetFunctionalClass(10)->GetName(), "Others");
    // Every request starts with its service identifier.
    for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu->GetFunctionalClass(c);
        for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
            IUDSService* service = cls->GetService(s);
            ASSERT_EQ(service->GetRequestCount(), 1u) << service->GetName();
            EXPECT_STREQ(service->GetRequest(0)->GetParam(0)->GetSemantic(), "SERVICE-ID");
        }
    }
}

TEST_F(DiagCorpusFile, OdxLenientBaseGivesItsWarningAndAModel) {
    Load("lenient-base.odx-d");
    ASSERT_EQ(library.GetEcuCount(), 1u);
    EXPECT_THAT(NanoXML::MessageLog(),
                HasSubstr("ODX Warning: TABLE-KEY \"MultiEntryKey\" holds more than "
                          "one table entry, the first is used\r\n"));
    IUDSService* service = library.GetEcu(0)->GetFunctionalClass(0)->GetService(0);
    EXPECT_STREQ(service->GetName(), "ReadWithMultiEntryTableKey");
    IParam* key = service->GetRequest(0)->FindParam("MultiEntryKey");
    ASSERT_NE(key, nullptr);
    EXPECT_EQ(key->GetValueCount(), 2u);
    // The table structure follows its key by short name, to rows without structures.
    EXPECT_EQ(service->GetRequest(0)->FindParam("StructForMultiKey")->GetChoiceCount(), 2u);
}

TEST_F(DiagCorpusFile, OdxComparamDocumentsAddNothingToOtherDocuments) {
    Load("Diagnostics.odx-d");
    ASSERT_EQ(library.LoadOdxFile((CorpusDir() / "ISO_15765_3_CPSS.odx-cs").string().c_str(), 1),
              1);
    QM_EXPECT_FIELDS(library, (GetEcuCount(), 1u), (GetFormat(), "ODX_2.2.0"));
}

TEST_F(DiagCorpusFile, PdxArchiveAndLooseMembersGiveTheSameModel) {
    // Loading without the build and building once gives what process 1 gives.
    const auto path = CorpusDir() / "odx-converter_synthetic.pdx";
    CDiagnoseLib direct, deferred;
    ASSERT_EQ(direct.LoadPdxFile(path.c_str(), 1), 1);
    ASSERT_EQ(deferred.LoadPdxFile(path.c_str(), 0), 1);
    EXPECT_EQ(deferred.GetEcuCount(), 0u);
    EXPECT_EQ(deferred.BuildModel(), 1);
    ExpectSameModel(direct, deferred);
}

}  // namespace
}  // namespace corpus
}  // namespace qm::diag::test
