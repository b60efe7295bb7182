// Fuzz target of the container file: any bytes are loaded by a facade holding one network
// configuration and one diagnostic library, the library builds its model, the restored models
// are walked through their interfaces and the facade saves a container again, which a second
// facade loads and builds.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <string>

#include "facade/quillmere.h"

namespace {

// LoadFromFile and SaveToFile take paths: the input goes through a private temporary file.
const std::string& ScratchPath(const char* suffix) {
    static std::string paths[2];
    std::string& path = paths[suffix[0] == 'i' ? 0 : 1];
    if (path.empty()) {
        path = "/tmp/qm_fuzz_container_" + std::to_string(::getpid()) + "_" + suffix + ".xml";
    }
    return path;
}

uint64_t Walk(NetConfig& config) {
    uint64_t seen = 0;
    const uint8_t payload[8] = {0x12, 0x34, 0x56, 0x78, 0x9A, 0xBC, 0xDE, 0xF0};
    for (uint64_t d = 0; d < config.GetDataBaseCount(); ++d) {
        INetDataBase* db = config.GetDataBase(d);
        for (uint64_t m = 0; m < db->GetMessageCount(); ++m) {
            INetMessage* message = db->GetMessage(m);
            for (uint64_t s = 0; s < message->GetSignalCount(); ++s) {
                seen += message->GetSignal(s)->GetRawValue(payload, sizeof(payload));
            }
        }
        seen += db->GetEcuCount();
    }
    for (uint64_t i = 0;; ++i) {
        INetFile* file = config.GetFile(i);
        if (file == nullptr) break;
        const char* info = file->GetInfoText();
        seen += info ? std::string(info).size() : 0;
    }
    return seen;
}

uint64_t Walk(IDiagnoseLib& library) {
    uint64_t seen = 0;
    uint8_t buffer[64];
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        IECU* ecu = library.GetEcu(e);
        seen += ecu->GetDtcCount();
        for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* cls = ecu->GetFunctionalClass(c);
            for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
                IUDSService* service = cls->GetService(s);
                seen += service->GetServiceId() + service->GetSessionCount();
                for (uint64_t r = 0; r < service->GetRequestCount(); ++r) {
                    seen += service->GetRequest(r)->Encode(buffer, sizeof buffer);
                }
            }
        }
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& input = ScratchPath("in");
    FILE* file = std::fopen(input.c_str(), "wb");
    if (file == nullptr) return 0;
    std::fwrite(data, 1, size, file);
    std::fclose(file);

    Quillmere facade;
    auto* config = static_cast<NetConfig*>(facade.CreateNetConfig());
    IDiagnoseLib* library = facade.CreateDiagnoseLib();
    if (!facade.LoadFromFile(input.c_str())) return 0;
    library->BuildModel();
    volatile uint64_t sink = Walk(*config) + Walk(*library);
    (void)sink;
    const std::string& output = ScratchPath("out");
    if (!facade.SaveToFile(output.c_str())) return 0;
    Quillmere again;
    auto* second = static_cast<NetConfig*>(again.CreateNetConfig());
    IDiagnoseLib* secondLibrary = again.CreateDiagnoseLib();
    again.LoadFromFile(output.c_str());
    secondLibrary->BuildModel();
    sink = Walk(*second) + Walk(*secondLibrary);
    return 0;
}
