#include "netconfig/generated_file.h"

#include <cstdio>
#include <cstdlib>

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

std::string Quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) out += c == '"' ? '\'' : c;
    return out + "\"";
}

std::string Number(double value) {
    char buffer[64];
    for (int precision = 6; precision <= 17; ++precision) {
        std::snprintf(buffer, sizeof buffer, "%.*g", precision, value);
        if (std::strtod(buffer, nullptr) == value) break;
    }
    return buffer;
}

std::string PropertyText(INetAttribute* attribute) {
    return attribute ? attribute->GetValue() : "";
}

}  // namespace qm::net
