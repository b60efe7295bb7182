// Fuzz target of the diagnostic container form: any text is read as a container document with
// the model built at once, and the model is written back to memory.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "diag/diagnose_lib.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    CDiagnoseLib library;
    library.LoadContainerText(text.c_str(), 1);
    library.SetGrouping(1);
    std::unique_ptr<NanoXML> node(library.NewContainerNode());
    for (uint64_t e = 0; e < library.GetEcuCount(); ++e) {
        std::unique_ptr<NanoXML> ecu(library.EcuToXml(library.GetEcu(e)));
        node->AddChild(ecu.release());
    }
    library.AddStatistics(node.get());
    volatile size_t written = node->Serialize(0, false).size();
    (void)written;
    return 0;
}
