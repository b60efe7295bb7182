// Fuzz target of the SOME/IP database: any bytes are loaded as one ARXML file (read, merged,
// resolved and extracted), then the header of every service is generated and the Ethernet
// topology walked.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "someip/arxml_database.h"

namespace {

size_t WalkTopology(ICluster* container) {
    size_t seen = 0;
    if (container == nullptr) return seen;
    for (uint64_t c = 0; c < container->GetEthernetClusterCount(); ++c) {
        IEthernetPhysicalChannel* channel = container->GetEthernetCluster(c)->GetPhysicalChannel();
        if (channel == nullptr || channel->GetSoAdConfig() == nullptr) continue;
        ISoAdConfig* soAd = channel->GetSoAdConfig();
        for (uint64_t b = 0; b < soAd->GetBundleCount(); ++b) {
            ISocketConnectionBundle* bundle = soAd->GetBundle(b);
            seen += bundle->GetServerPort() != nullptr;
            for (uint64_t k = 0; k < bundle->GetConnectionCount(); ++k) {
                seen += bundle->GetConnection(k)->GetPduCount();
            }
        }
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/qm_fuzz_someip_" + std::to_string(::getpid()) + ".arxml";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    CArxmlDatabase db;
    const char* files[] = {path.c_str()};
    db.Load(files, 1);
    size_t seen = 0;
    for (uint64_t e = 0; e < db.GetEcuCount(); ++e) {
        IEcu* ecu = db.GetEcu(e);
        for (uint64_t s = 0; s < ecu->GetServiceCount(); ++s) {
            ISomeIpServiceCfg* service = ecu->GetService(s);
            seen += std::string(service->GenerateHeader()).size();
            seen += std::string(service->GenerateCompatibilityDefines()).size();
        }
        seen += ecu->FindPdu("x") != nullptr;
    }
    seen += WalkTopology(db.GetClusters());
    // The process-wide log would otherwise grow with every input.
    NanoXML::ClearMessageLog();
    return seen == static_cast<size_t>(-1);
}
