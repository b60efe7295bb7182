// Every diagnostic file of the shared corpus, read as written, answers its own messages: each
// request that needs no values encodes with its defaults and decodes back to its service, and
// each positive response made from its constants decodes as a positive response of the ECU.
#include <gtest/gtest.h>

#include <map>

#include "diag/diag_codec.h"
#include "diag/diagnose_lib.h"
#include "diag/message_index.h"
#include "diag_test_support.h"

namespace qm::diag::test {
namespace {

std::vector<std::filesystem::path> CorpusDiagFiles() {
    std::vector<std::filesystem::path> files;
    if (!std::filesystem::is_directory(CorpusDir())) return files;
    for (const auto& entry : std::filesystem::directory_iterator(CorpusDir())) {
        const std::string extension = entry.path().extension().string();
        if (extension == ".cdd" || extension == ".pdx" || extension.rfind(".odx", 0) == 0)
            files.push_back(entry.path());
    }
    std::sort(files.begin(), files.end());
    return files;
}

bool LoadAsWritten(CDiagnoseLib& library, const std::filesystem::path& path) {
    library.SetReadingAsWritten(1);
    const std::string extension = path.extension().string();
    const std::string text = path.string();
    if (extension == ".cdd") return library.LoadCddFile(text.c_str(), 1) == 1;
    if (extension == ".pdx") return library.LoadPdxFile(text.c_str(), 1) == 1;
    return library.LoadOdxFile(text.c_str(), 1) == 1;
}

struct RoundTrips {
    uint64_t ecus = 0;
    uint64_t requests = 0;     // requests that encode without values
    uint64_t sameService = 0;  // decoded back to their own service
    uint64_t twin = 0;         // to an earlier service whose request has the same bytes
    uint64_t responses = 0;    // positive responses made from their constants
    uint64_t asPositive = 0;   // decoded as some positive response of the ECU
    uint64_t problems = 0;     // decodes that found the bytes breaking the description
    bool operator==(const RoundTrips&) const = default;
};

std::ostream& operator<<(std::ostream& out, const RoundTrips& r) {
    return out << "{" << r.ecus << ", " << r.requests << ", " << r.sameService << ", " << r.twin
               << ", " << r.responses << ", " << r.asPositive << ", " << r.problems << "}";
}

// A positive response from its constants, with what it repeats of the request taken from the
// request's constant form.
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

RoundTrips RoundTripsOf(CDiagnoseLib& library) {
    RoundTrips counts;
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

// ECUs; requests without values, back to their service, to a twin; positive responses, decoded
// as positive responses; decodes with a problem.
const std::map<std::string, RoundTrips> kExpectedRoundTrips = {
    {"Bootloader.cdd", {1, 35, 35, 0, 61, 61, 0}},
    {"Bootloader.odx", {1, 55, 55, 0, 55, 55, 0}},
    // Services whose requests differ only in values (CommunicationControl and its _NIN form,
    // the periodic identifier's send and stop, ...) share their bytes: the first takes them,
    // and a decode by the first may find the bytes short (6 ECUs x 2). The synthetic archive's
    // response puts its length key after the field it measures.
    {"DTS_Example.pdx", {6, 324, 276, 48, 348, 348, 12}},
    {"Diagnostics.odx-d", {1, 57, 57, 0, 53, 53, 0}},
    {"EBC-Diagnostics_old.odx", {1, 180, 180, 0, 238, 238, 0}},
    {"Hardi_v2-r15153.odx", {1, 153, 153, 0, 169, 169, 0}},
    // Communication parameters only.
    {"ISO_15765_3_CPSS.odx-cs", {}},
    {"UDS-ExampleEcu-5.2.1.pdx", {2, 136, 132, 4, 190, 190, 0}},
    {"UDSOnCAN_CPS.odx-c", {}},
    {"example-diddatarefs.cdd", {1, 7, 7, 0, 12, 12, 0}},
    {"example.cdd", {1, 19, 19, 0, 31, 31, 0}},
    {"invalid-bo-example.cdd", {1, 19, 19, 0, 31, 31, 0}},
    {"lenient-base.odx-d", {1, 0, 0, 0, 1, 1, 0}},
    {"odx-converter_synthetic.pdx", {2, 2, 2, 0, 10, 10, 2}},
    {"odx_min_example.odx", {1, 2, 2, 0, 2, 2, 0}},
    {"opensovd-cda_doip_base.pdx", {}},  // a protocol layer: no ECU variant
    {"somersault.pdx", {3, 12, 12, 0, 20, 20, 0}},
};

TEST(CorpusRoundTrip, EveryFileDecodesWhatItEncodes) {
    const std::vector<std::filesystem::path> files = CorpusDiagFiles();
    if (files.empty()) GTEST_SKIP() << "no corpus at " << CorpusDir();
    for (const std::filesystem::path& path : files) {
        const std::string name = path.filename().string();
        SCOPED_TRACE(name);
        CDiagnoseLib library;
        ASSERT_TRUE(LoadAsWritten(library, path));
        const RoundTrips counts = RoundTripsOf(library);
        const auto expected = kExpectedRoundTrips.find(name);
        ASSERT_NE(expected, kExpectedRoundTrips.end()) << "new corpus file, counts " << counts;
        EXPECT_EQ(counts, expected->second);
        // Every request without values comes back to its service or its twin.
        EXPECT_EQ(counts.sameService + counts.twin, counts.requests);
    }
}

}  // namespace
}  // namespace qm::diag::test
