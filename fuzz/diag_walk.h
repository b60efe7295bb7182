#pragma once
// The walk the diagnostic fuzz targets share: the whole model through its interfaces, as
// "quillmere dump" reads it (sub-parameters, cases, value tables, DTCs, sessions), every message
// encoded, then the same again grouped, and every ECU written in the container form.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "diag/diagnose_lib.h"
#include "platform/files.h"

namespace qmfuzz {

inline uint64_t WalkParam(IParam* param, int depth) {
    uint64_t seen = param->GetBitLength() + param->GetValue() + param->GetValueCount();
    bool found = false;
    seen += std::string(param->FindValueText(param->GetValue(), &found)).size();
    seen += std::string(param->GetValueText()).size() + std::string(param->GetDataType()).size();
    if (depth < 64) {
        for (uint64_t i = 0; i < param->GetSubParamCount(); ++i)
            seen += WalkParam(param->GetSubParam(i), depth + 1);
        if (param->IsConditional()) {
            for (uint64_t i = 0; i < param->GetChoiceCount(); ++i)
                seen += WalkParam(param->SelectChoice(i), depth + 1);
        }
    }
    return seen;
}

inline uint64_t WalkFunction(IUDSFunction* function) {
    uint64_t seen = 0;
    for (uint64_t i = 0; i < function->GetParamCount(); ++i)
        seen += WalkParam(function->GetParam(i), 0);
    const uint64_t length = function->Encode(nullptr, 0);
    // A request of absurd length is not allocated: a bounded buffer must do.
    std::vector<uint8_t> bytes(static_cast<size_t>(length < 4096 ? length : 4096));
    if (!bytes.empty()) seen += function->Encode(bytes.data(), bytes.size());
    return seen;
}

inline uint64_t WalkService(IUDSService* service) {
    uint64_t seen = service->GetServiceId() + service->GetSessionCount();
    for (uint64_t i = 0; i < service->GetRequestCount(); ++i)
        seen += WalkFunction(service->GetRequest(i));
    for (uint64_t i = 0; i < service->GetPositiveResponseCount(); ++i)
        seen += WalkFunction(service->GetPositiveResponse(i));
    for (uint64_t i = 0; i < service->GetNegativeResponseCount(); ++i)
        seen += WalkFunction(service->GetNegativeResponse(i));
    return seen;
}

inline uint64_t WalkModel(CDiagnoseLib& library) {
    uint64_t seen = 0;
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        IECU* ecu = library.GetEcu(e);
        for (uint64_t d = 0; d < ecu->GetDtcCount(); ++d) {
            IDTC* dtc = ecu->GetDtc(d);
            seen += dtc->GetValue() + std::string(dtc->GetText()).size();
            for (uint64_t i = 0; i < dtc->GetSdCount(); ++i)
                seen += std::string(dtc->GetSd(i)->GetDescr()).size();
        }
        for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* cls = ecu->GetFunctionalClass(c);
            for (uint64_t s = 0; s < cls->GetServiceCount(); ++s)
                seen += WalkService(cls->GetService(s));
        }
    }
    return seen;
}

// The model as built, then grouped, then each ECU in the container form.
inline uint64_t WalkBuiltLibrary(CDiagnoseLib& library) {
    uint64_t seen = WalkModel(library) + std::string(library.GetMessages()).size();
    library.SetGrouping(1);
    seen += WalkModel(library);
    std::unique_ptr<NanoXML> saved(library.NewContainerNode());
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        std::unique_ptr<NanoXML> ecu(library.EcuToXml(library.GetEcu(e)));
        seen += ecu->Serialize(0, false).size();
    }
    return seen;
}

// The message codec of a model read as written: every function's constant form encoded and
// decoded, and the input's first bytes matched against and decoded as every function.
inline void ExerciseCodec(IDiagnoseLib& library, const uint8_t* data, size_t size) {
    const uint64_t head = size < 64 ? size : 64;
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        IECU* ecu = library.GetEcu(e);
        for (uint64_t c = 0; c < ecu->GetFunctionalClassCount(); ++c) {
            IFunctionalClass* cls = ecu->GetFunctionalClass(c);
            for (uint64_t s = 0; s < cls->GetServiceCount(); ++s) {
                IUDSService* service = cls->GetService(s);
                std::vector<IUDSFunction*> functions;
                for (uint64_t i = 0; i < service->GetRequestCount(); ++i)
                    functions.push_back(service->GetRequest(i));
                for (uint64_t i = 0; i < service->GetPositiveResponseCount(); ++i)
                    functions.push_back(service->GetPositiveResponse(i));
                for (uint64_t i = 0; i < service->GetNegativeResponseCount(); ++i)
                    functions.push_back(service->GetNegativeResponse(i));
                if (auto* globals = dynamic_cast<IECUGlobalResponses*>(ecu)) {
                    for (uint64_t i = 0; i < globals->GetGlobalNegativeResponseCount(); ++i)
                        functions.push_back(globals->GetGlobalNegativeResponse(i));
                }
                for (IUDSFunction* function : functions) {
                    auto* codec = dynamic_cast<IUDSFunctionCodec*>(function);
                    if (codec == nullptr) continue;
                    codec->EncodeMessage(0, nullptr, nullptr, 0);
                    const std::vector<uint8_t> form(
                        codec->GetEncodedBytes(),
                        codec->GetEncodedBytes() + codec->GetEncodedSize());
                    codec->DecodeMessage(form.data(), form.size());
                    codec->MatchMessage(data, head, form.data(), form.size());
                    codec->DecodeMessage(data, head);
                }
            }
        }
    }
}

// The readers take paths: the input goes to a file of this process with that extension, `load`
// reads it into a fresh library, and the built library is walked.
template <typename Load>
int LoadAndWalk(const char* extension, const uint8_t* data, size_t size, Load load) {
    static const std::string path = "/tmp/qm_fuzz_" + std::string(extension) + "_" +
                                    std::to_string(::getpid()) + "." + extension;
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    if (!qm::platform::WriteFile(path, bytes).ok) return 0;
    NanoXML::ClearMessageLog();
    CDiagnoseLib library;
    load(library, path.c_str());
    volatile uint64_t seen = WalkBuiltLibrary(library);
    (void)seen;
    return 0;
}

}  // namespace qmfuzz
