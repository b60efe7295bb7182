#include "platform/zip_library.h"

#include <dlfcn.h>

#ifndef QM_LIBZIP_SONAME
#define QM_LIBZIP_SONAME "libzip.so"
#endif

namespace qm::platform {

namespace {

struct Loaded {
    ZipLibrary functions{};
    bool ok = false;
    std::string error;
};

template <typename Function>
bool Resolve(void* handle, const char* name, Function& function, std::string& error) {
    function = reinterpret_cast<Function>(::dlsym(handle, name));
    if (function != nullptr) return true;
    error = std::string("libzip lacks ") + name;
    return false;
}

Loaded Load() {
    Loaded loaded;
    // The library whose headers this was built with; never unloaded.
    void* handle = ::dlopen(QM_LIBZIP_SONAME, RTLD_NOW | RTLD_LOCAL);
    if (handle == nullptr) {
        const char* why = ::dlerror();
        loaded.error = std::string("cannot load " QM_LIBZIP_SONAME ": ") + (why ? why : "unknown");
        return loaded;
    }
    ZipLibrary& f = loaded.functions;
    std::string& e = loaded.error;
    loaded.ok =
        Resolve(handle, "zip_open", f.open, e) && Resolve(handle, "zip_discard", f.discard, e) &&
        Resolve(handle, "zip_get_num_entries", f.getNumEntries, e) &&
        Resolve(handle, "zip_stat_init", f.statInit, e) &&
        Resolve(handle, "zip_stat_index", f.statIndex, e) &&
        Resolve(handle, "zip_file_get_external_attributes", f.fileGetExternalAttributes, e) &&
        Resolve(handle, "zip_fopen_index", f.fopenIndex, e) &&
        Resolve(handle, "zip_fread", f.fread, e) && Resolve(handle, "zip_fclose", f.fclose, e) &&
        Resolve(handle, "zip_strerror", f.strerror, e) &&
        Resolve(handle, "zip_file_strerror", f.fileStrerror, e) &&
        Resolve(handle, "zip_error_init_with_code", f.errorInitWithCode, e) &&
        Resolve(handle, "zip_error_strerror", f.errorStrerror, e) &&
        Resolve(handle, "zip_error_fini", f.errorFini, e);
    return loaded;
}

}  // namespace

const ZipLibrary* LoadZipLibrary(std::string& error) {
    static const Loaded loaded = Load();
    if (!loaded.ok) {
        error = loaded.error;
        return nullptr;
    }
    return &loaded.functions;
}

}  // namespace qm::platform
