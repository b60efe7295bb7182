// Fuzz target of the ODX reader: any bytes are read as an ODX document, the model is built and
// walked through its interfaces as "quillmere dump" does (sub-parameters, cases, value tables,
// DTCs), grouped, encoded and written in the container form.
#include <unistd.h>

#include <cstddef>
#include <cstdint>
#include <string>

#include "diag/diagnose_lib.h"
#include "diag_walk.h"
#include "platform/files.h"

namespace {

const std::string& InputPath() {
    static const std::string path = "/tmp/qm_fuzz_odx_" + std::to_string(::getpid()) + ".odx";
    return path;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string& path = InputPath();
    if (!qm::platform::WriteFile(path, std::string_view(reinterpret_cast<const char*>(data), size))
             .ok) {
        return 0;
    }
    NanoXML::ClearMessageLog();
    CDiagnoseLib library;
    library.LoadOdxFile(path.c_str(), 1);
    volatile uint64_t seen = qmfuzz::WalkBuiltLibrary(library);
    (void)seen;
    return 0;
}
