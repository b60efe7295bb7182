// Fuzz target of the CDD reader: any bytes are read as a CDD file, the model is built and
// walked through its interfaces as "quillmere dump" does, grouped, encoded and written in the
// container form.
#include <cstddef>
#include <cstdint>

#include "diag_walk.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    return qmfuzz::LoadAndWalk("cdd", data, size, [](CDiagnoseLib& library, const char* path) {
        library.LoadCddFile(path, 1);
    });
}
