#include "netconfig/generated_file.h"

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>

namespace qm::net {

namespace {

std::filesystem::path TemporaryPath(const char* extension) {
    static std::atomic<uint64_t> counter{0};
    std::error_code error;
    std::filesystem::path dir = std::filesystem::temp_directory_path(error);
    if (error) dir = "/tmp";
    return dir / ("quillmere-generated-" + std::to_string(::getpid()) + "-" +
                  std::to_string(counter++) + extension);
}

}  // namespace

bool LoadGeneratedText(INetFile& file, const std::string& text, const char* extension) {
    const std::filesystem::path path = TemporaryPath(extension);
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out.write(text.data(), static_cast<std::streamsize>(text.size()));
        if (!out) {
            std::error_code ignored;
            std::filesystem::remove(path, ignored);
            return false;
        }
    }
    const bool loaded = file.Load(path.c_str());
    std::error_code ignored;
    std::filesystem::remove(path, ignored);
    file.SetPath(L"");
    return loaded;
}

std::string Identifier(const std::string& name) {
    std::string out;
    if (name.empty() || (name[0] >= '0' && name[0] <= '9')) out += '_';
    for (char c : name) {
        const bool letter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
        const bool digit = c >= '0' && c <= '9';
        out += letter || digit || c == '_' ? c : '_';
    }
    return out;
}

}  // namespace qm::net
