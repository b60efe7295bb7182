// Fuzz target of the PDX reader: any bytes are read as a ZIP archive of ODX documents, the
// model is built from what inflates and parses, and walked through its interfaces as
// "quillmere dump" does, grouped, encoded and written in the container form.
#include <cstddef>
#include <cstdint>

#include "diag_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return qmfuzz::LoadAndWalk("pdx", data, size, [](CDiagnoseLib& library, const char* path) {
        library.LoadPdxFile(path, 1);
    });
}
