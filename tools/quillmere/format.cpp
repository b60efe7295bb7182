#include "format.h"

#include <cstring>

#include "platform/files.h"

#include "text_encoding.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <ostream>
#include <sstream>

namespace qmtool {

namespace {
std::vector<std::unique_ptr<FileFormat>>& Registry() {
    static std::vector<std::unique_ptr<FileFormat>> formats;
    return formats;
}
}  // namespace

void RegisterFormat(std::unique_ptr<FileFormat> format) {
    Registry().push_back(std::move(format));
}

const std::vector<std::unique_ptr<FileFormat>>& Formats() {
    return Registry();
}

FileFormat& FormatFor(const std::string& path, const Options& options) {
    for (auto& format : Registry()) {
        if (options.format.empty() ? format->Accepts(path) : format->Name() == options.format) {
            return *format;
        }
    }
    if (!options.format.empty()) throw ToolError("unknown format '" + options.format + "'");
    throw ToolError("no reader for '" + path + "' (use --format)");
}

bool FileFormat::DumpText(const std::string& path, const Options& options, std::ostream& out) {
    PrintReadable(Dump(path, options), out);
    return true;
}

const qm::codec::FrameCatalog* FileFormat::Frames(const std::string&, const Options&) {
    return nullptr;
}

const qm::codec::FrameCatalog* FileFormat::FramesOnly(const std::string& path,
                                                      const Options& options) {
    return Frames(path, options);
}

std::optional<uint64_t> FileFormat::FrameIdByName(const std::string&, const std::string&,
                                                  const Options&) {
    return std::nullopt;
}

bool FileFormat::Convert(const std::string&, const std::string&, const Options&) {
    return false;
}

void FileFormat::Demo(const std::filesystem::path&, std::ostream&) {}

Json ToUtf8(const Json& value, const TextDecoder& decoder) {
    if (value.is_string()) return decoder.ToUtf8(value.get_ref<const std::string&>());
    if (value.is_array()) {
        Json out = Json::array();
        for (const auto& item : value) out.push_back(ToUtf8(item, decoder));
        return out;
    }
    if (!value.is_object()) return value;
    Json out = Json::object();
    for (const auto& [key, item] : value.items()) {
        if (key == "path" && item.is_string()) {
            out[key] = SanitizeUtf8(item.get_ref<const std::string&>());
        } else {
            out[decoder.ToUtf8(key)] = ToUtf8(item, decoder);
        }
    }
    return out;
}

namespace {
bool IsScalar(const Json& v) {
    return !v.is_object() && !v.is_array();
}

std::string ScalarText(const Json& v) {
    return v.is_string() ? v.get<std::string>() : v.dump();
}
}  // namespace

void PrintReadable(const Json& value, std::ostream& out, int indent) {
    const std::string pad(static_cast<size_t>(indent), ' ');
    if (IsScalar(value)) {
        out << pad << ScalarText(value) << '\n';
        return;
    }
    if (value.is_object()) {
        for (const auto& [key, item] : value.items()) {
            if (IsScalar(item)) {
                out << pad << key << ": " << ScalarText(item) << '\n';
            } else if (item.empty()) {
                out << pad << key << ": (none)\n";
            } else {
                out << pad << key << ":\n";
                PrintReadable(item, out, indent + 2);
            }
        }
        return;
    }
    for (const auto& item : value) {
        if (IsScalar(item)) {
            out << pad << "- " << ScalarText(item) << '\n';
        } else {
            out << pad << "-\n";
            PrintReadable(item, out, indent + 2);
        }
    }
}

std::vector<std::string> SplitLines(const std::string& text) {
    std::vector<std::string> lines;
    std::istringstream in(text);
    std::string line;
    while (std::getline(in, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        if (!line.empty()) lines.push_back(line);
    }
    return lines;
}

std::vector<uint8_t> ParseHexPayload(const std::string& hex) {
    std::string digits;
    std::string_view text = hex;
    if (text.size() >= 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
        text.remove_prefix(2);
    for (char c : text) {
        if (std::isxdigit(static_cast<unsigned char>(c))) {
            digits.push_back(c);
        } else if (c != ' ' && c != ':' && c != '-' && c != '_') {
            throw ToolError("not a hex payload: '" + hex + "'");
        }
    }
    if (digits.size() % 2 != 0) throw ToolError("odd number of hex digits in '" + hex + "'");
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i < digits.size(); i += 2) {
        bytes.push_back(static_cast<uint8_t>(std::stoul(digits.substr(i, 2), nullptr, 16)));
    }
    return bytes;
}

void RequireOdxFolder(const std::string& path, bool recursive) {
    if (recursive) return;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(path, error)) {
        if (!entry.is_regular_file(error)) continue;
        // The folder scan's own test: the last "."-piece of the name, upper-cased, holds "ODX".
        std::string name = entry.path().filename().string();
        const size_t dot = name.rfind('.');
        std::string last = dot == std::string::npos ? name : name.substr(dot + 1);
        for (char& c : last) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        if (last.find("ODX") != std::string::npos || last == "PDX") return;
    }
    if (error) throw ToolError("cannot read the folder '" + path + "': " + error.message());
    throw ToolError("'" + path +
                    "' is a folder without ODX or PDX files at its top level (--recursive reads "
                    "its subfolders as well)");
}

ToolError WriteFailure(const std::string& path) {
    const int error = qm::platform::LastFileError();
    return ToolError("cannot write '" + path + "'" +
                     (error != 0 ? std::string(": ") + std::strerror(error) : std::string()));
}

std::string LowerExtension(const std::filesystem::path& path) {
    std::string extension = path.extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return extension;
}

}  // namespace qmtool
