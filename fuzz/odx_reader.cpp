// Fuzz target of the ODX reader: any bytes are read as an ODX document, the model is built and
// walked through its interfaces as "quillmere dump" does (sub-parameters, cases, value tables,
// DTCs), grouped, encoded and written in the container form.
#include <cstddef>
#include <cstdint>

#include "diag_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return qmfuzz::LoadAndWalk("odx", data, size, [](CDiagnoseLib& library, const char* path) {
        library.LoadOdxFile(path, 1);
    });
}
