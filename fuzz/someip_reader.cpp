// Fuzz target of the SOME/IP database: any bytes are loaded as one ARXML file (read, merged,
// resolved and extracted) in both reading modes, then the header of every service is
// generated and the Ethernet topology and the PDU triggerings of the ECU PDUs walked; in
// whole-document mode the services, their types and the services header too.
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

// The PDU triggering each PDU of the ECU's groups carries, with its signal names.
size_t WalkPduTriggerings(IEcu* ecu) {
    size_t seen = 0;
    for (uint64_t n = 0; n < ecu->GetNodeCount(); ++n) {
        INode* group = ecu->GetNode(n);
        for (uint64_t p = 0; p < group->GetPduCount(); ++p) {
            IPduTriggering* triggering = group->GetPdu(p)->GetPduTriggering();
            if (triggering == nullptr) continue;
            seen += std::string(triggering->GetPduName()).size();
            for (uint64_t s = 0; s < triggering->GetSignalCount(); ++s) {
                seen += std::string(triggering->GetSignalName(s)).size();
                seen += std::string(triggering->GetSystemSignalName(s)).size();
            }
        }
    }
    return seen;
}

// The services of whole-document reading with their member types, and the header of all.
size_t WalkServices(CArxmlDatabase& db) {
    size_t seen = 0;
    for (uint64_t s = 0; s < db.GetSomeIpServiceCount(); ++s) {
        ISomeIpService* service = db.GetSomeIpService(s);
        for (uint64_t m = 0; m < service->GetMethodCount(); ++m) {
            ISomeIpMethod* method = service->GetMethod(m);
            for (uint64_t a = 0; a < method->GetArgumentCount(); ++a)
                seen += method->GetArgumentType(a) != nullptr;
        }
        for (uint64_t i = 0; i < service->GetInstanceCount(); ++i)
            seen += service->GetInstance(i)->GetProviderCount();
    }
    for (uint64_t t = 0; t < db.GetSomeIpTypeCount(); ++t) {
        ISomeIpType* type = db.GetSomeIpType(t);
        for (uint64_t m = 0; m < type->GetMemberCount(); ++m)
            seen += type->GetMemberType(m) != nullptr;
    }
    if (db.GetReadingMode() == kSomeIpReadWholeDocument)
        seen += std::string(db.GenerateServicesHeader(nullptr)).size();
    return seen;
}

size_t LoadAndWalk(const std::string& path, int32_t mode) {
    CArxmlDatabase db;
    db.SetReadingMode(mode);
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
        seen += WalkPduTriggerings(ecu);
    }
    seen += WalkTopology(db.GetClusters());
    seen += WalkServices(db);
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    static const std::string path = "/tmp/qm_fuzz_someip_" + std::to_string(::getpid()) + ".arxml";
    FILE* file = std::fopen(path.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    size_t seen = 0;
    for (int32_t mode : {kSomeIpReadExact, kSomeIpReadWholeDocument})
        seen += LoadAndWalk(path, mode);
    // The process-wide log would otherwise grow with every input.
    NanoXML::ClearMessageLog();
    return seen == static_cast<size_t>(-1);
}
