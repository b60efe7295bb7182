// Fuzz target of the ODX reader: any bytes are read as an ODX document, the model is built and
// walked through its interfaces as "quillmere dump" does (sub-parameters, cases, value tables,
// DTCs), grouped, encoded and written in the container form.
#include <cstddef>
#include <cstdint>

#include "diag_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    qmfuzz::LoadAndWalk("odx", data, size, [](CDiagnoseLib& library, const char* path) {
        library.LoadOdxFile(path, 1);
    });
    // Read as written too, and every message through the codec.
    return qmfuzz::LoadAndWalk("odx", data, size, [&](CDiagnoseLib& library, const char* path) {
        library.SetReadingAsWritten(1);
        library.LoadOdxFile(path, 1);
        qmfuzz::ExerciseCodec(library, data, size);
    });
}
