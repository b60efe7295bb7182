#pragma once
// libzip, loaded when the first archive is opened. Only PDX archives need it, and loading it
// with the process costs every start of the tool and of every host: libzip brings libcrypto,
// whose twenty thousand relocations the dynamic loader would apply before main on each start.
#include <zip.h>

#include <string>

namespace qm::platform {

// The libzip functions the ZIP adapter calls, with libzip's own signatures.
struct ZipLibrary {
    decltype(&::zip_open) open;
    decltype(&::zip_discard) discard;
    decltype(&::zip_get_num_entries) getNumEntries;
    decltype(&::zip_stat_init) statInit;
    decltype(&::zip_stat_index) statIndex;
    decltype(&::zip_file_get_external_attributes) fileGetExternalAttributes;
    decltype(&::zip_fopen_index) fopenIndex;
    decltype(&::zip_fread) fread;
    decltype(&::zip_fclose) fclose;
    decltype(&::zip_strerror) strerror;
    decltype(&::zip_file_strerror) fileStrerror;
    decltype(&::zip_error_init_with_code) errorInitWithCode;
    decltype(&::zip_error_strerror) errorStrerror;
    decltype(&::zip_error_fini) errorFini;
};

// The functions, loaded on the first call (once per process, thread-safe). Null when libzip
// cannot be loaded or lacks one of them; error then says why.
const ZipLibrary* LoadZipLibrary(std::string& error);

}  // namespace qm::platform
