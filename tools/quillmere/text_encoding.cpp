#include "text_encoding.h"

#include <iconv.h>

#include <cctype>
#include <cerrno>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <mutex>

#include "platform/input_file.h"

namespace qmtool {

namespace {

constexpr char kReplacement[] = "\xEF\xBF\xBD";  // U+FFFD in UTF-8

// Length of the well-formed UTF-8 sequence at the start of the bytes, 0 when ill-formed.
size_t Utf8SequenceLength(std::string_view bytes) {
    const auto byte = [&](size_t i) { return static_cast<unsigned char>(bytes[i]); };
    const unsigned char lead = byte(0);
    if (lead < 0x80) return 1;
    size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;  // allowed range of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        if (lead == 0xE0) low = 0xA0;   // overlong
        if (lead == 0xED) high = 0x9F;  // surrogates
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        if (lead == 0xF0) low = 0x90;   // overlong
        if (lead == 0xF4) high = 0x8F;  // beyond U+10FFFF
    } else {
        return 0;
    }
    if (bytes.size() < length) return 0;
    if (byte(1) < low || byte(1) > high) return 0;
    for (size_t i = 2; i < length; ++i) {
        if (byte(i) < 0x80 || byte(i) > 0xBF) return 0;
    }
    return length;
}

bool IsAscii(std::string_view text) {
    for (char c : text) {
        if (static_cast<unsigned char>(c) >= 0x80) return false;
    }
    return true;
}

bool IsUtf8Name(const std::string& name) {
    std::string upper;
    for (char c : name) {
        if (c != '-' && c != '_')
            upper.push_back(static_cast<char>(std::toupper(static_cast<unsigned char>(c))));
    }
    return upper == "UTF8";
}

// Whether the 64 bytes at p are all ASCII: eight words or'ed together, which the compiler
// turns into a few vector instructions.
bool IsAsciiBlock(const char* p) {
    uint64_t any = 0;
    for (size_t k = 0; k < 8; ++k) {
        uint64_t word;
        std::memcpy(&word, p + k * sizeof(word), sizeof(word));
        any |= word;
    }
    return (any & 0x8080808080808080ull) == 0;
}

// Inputs kept mapped for their load are those mapped whole at once (populated): a larger one
// would stay resident while its reader is meant to drop the pages it has passed.
constexpr size_t kKeptInputBytes = size_t{8} << 20;

// The input the last ForFile call of a thread kept mapped, and its path.
struct CheckedInput {
    std::string path;
    std::unique_ptr<qm::platform::InputFile> file;
};

CheckedInput& LastCheckedInput() {
    thread_local CheckedInput input;
    return input;
}

}  // namespace

bool IsValidUtf8(std::string_view bytes) {
    size_t i = 0;
    while (i < bytes.size()) {
        // Description files are mostly ASCII: such bytes are passed 64, then eight at a time.
        if (i + 64 <= bytes.size() && IsAsciiBlock(bytes.data() + i)) {
            i += 64;
            continue;
        }
        uint64_t chunk;
        if (i + sizeof(chunk) <= bytes.size()) {
            std::memcpy(&chunk, bytes.data() + i, sizeof(chunk));
            if ((chunk & 0x8080808080808080ull) == 0) {
                i += sizeof(chunk);
                continue;
            }
        }
        const size_t length = Utf8SequenceLength(bytes.substr(i));
        if (length == 0) return false;
        i += length;
    }
    return true;
}

std::string SanitizeUtf8(std::string_view bytes) {
    std::string out;
    out.reserve(bytes.size());
    size_t i = 0;
    while (i < bytes.size()) {
        const size_t length = Utf8SequenceLength(bytes.substr(i));
        if (length == 0) {
            out += kReplacement;
            ++i;
        } else {
            out.append(bytes.substr(i, length));
            i += length;
        }
    }
    return out;
}

// One iconv descriptor. iconv keeps shift state per descriptor, so a conversion resets it and
// holds the lock; decoders are shared by copies and used from one thread at a time anyway.
struct TextDecoder::Converter {
    Converter(const char* to, const char* from) : handle(::iconv_open(to, from)) {}
    ~Converter() {
        if (valid()) ::iconv_close(handle);
    }
    Converter(const Converter&) = delete;
    Converter& operator=(const Converter&) = delete;
    bool valid() const { return handle != reinterpret_cast<iconv_t>(-1); }

    // Converts all bytes; an input byte that does not convert is skipped and `replacement`
    // written in its place, so multi-byte encodings pick up again at the next byte.
    std::string Run(std::string_view text, std::string_view replacement) {
        std::lock_guard<std::mutex> lock(mutex);
        ::iconv(handle, nullptr, nullptr, nullptr, nullptr);
        std::string out;
        out.resize(text.size() * 4 + 16);
        char* in = const_cast<char*>(text.data());
        size_t inLeft = text.size();
        size_t used = 0;
        while (true) {
            char* outPtr = out.data() + used;
            size_t outLeft = out.size() - used;
            const size_t result = inLeft == 0 ? ::iconv(handle, nullptr, nullptr, &outPtr, &outLeft)
                                              : ::iconv(handle, &in, &inLeft, &outPtr, &outLeft);
            used = out.size() - outLeft;
            if (result != static_cast<size_t>(-1)) {
                if (inLeft == 0) break;
                continue;
            }
            if (errno == E2BIG) {
                out.resize(out.size() * 2);
                continue;
            }
            // EILSEQ or EINVAL (a sequence cut at the end): skip one byte, mark the spot.
            if (out.size() - used < replacement.size()) out.resize(out.size() * 2);
            out.replace(used, replacement.size(), replacement);
            used += replacement.size();
            ++in;
            --inLeft;
            ::iconv(handle, nullptr, nullptr, nullptr, nullptr);
            if (inLeft == 0) break;
        }
        out.resize(used);
        return out;
    }

    iconv_t handle;
    std::mutex mutex;
};

TextDecoder::TextDecoder(const std::string& name) : name_(name), isUtf8_(IsUtf8Name(name)) {
    if (isUtf8_) {
        asciiCompatible_ = true;
        return;
    }
    toUtf8_ = std::make_shared<Converter>("UTF-8", name.c_str());
    fromUtf8_ = std::make_shared<Converter>(name.c_str(), "UTF-8");
    if (!toUtf8_->valid() || !fromUtf8_->valid()) {
        throw UnknownEncoding("unknown encoding '" + name + "'");
    }
    // Plain ASCII passes unchanged through the encodings that contain it (cp1252, GBK,
    // Shift_JIS, …), which saves a conversion for most names and numbers.
    const std::string probe = "AZaz09 _;:\"'()[]|@+-.,/\\#~";
    asciiCompatible_ = toUtf8_->Run(probe, kReplacement) == probe;
}

TextDecoder TextDecoder::ForBytes(std::string_view bytes, const std::string& forcedName) {
    if (!forcedName.empty()) return TextDecoder(forcedName);
    return TextDecoder(IsValidUtf8(bytes) ? kUtf8 : kCp1252);
}

TextDecoder TextDecoder::ForFile(const std::string& path, const std::string& forcedName,
                                 bool keepMapped) {
    CheckedInput& last = LastCheckedInput();
    last.path.clear();
    last.file.reset();
    if (!forcedName.empty()) return TextDecoder(forcedName);
    // A folder or a PDX archive holds XML documents, whose texts are UTF-8 unless declared
    // otherwise: the container's own bytes say nothing about them.
    std::error_code error;
    std::string extension = std::filesystem::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    if (std::filesystem::is_directory(path, error) || extension == ".pdx") {
        return TextDecoder(kUtf8);
    }
    // Mapped, not copied: the file is about to be read again by its reader, and a copy of a big
    // file would cost as much as the load's own pages.
    auto file = std::make_unique<qm::platform::InputFile>();
    if (!file->Open(path).ok) return TextDecoder(kUtf8);
    TextDecoder decoder = ForBytes(file->Text(), forcedName);
    if (keepMapped && file->Text().size() <= kKeptInputBytes) {
        last.path = path;
        last.file = std::move(file);
    }
    return decoder;
}

std::unique_ptr<qm::platform::InputFile> TakeCheckedInput(const std::string& path) {
    CheckedInput& last = LastCheckedInput();
    if (last.file == nullptr || last.path != path) return nullptr;
    last.path.clear();
    return std::move(last.file);
}

std::string TextDecoder::ToUtf8(std::string_view text) const {
    if (asciiCompatible_ && IsAscii(text)) return std::string(text);
    if (isUtf8_) return SanitizeUtf8(text);
    // Whatever iconv makes of odd input, what leaves here is well-formed.
    return SanitizeUtf8(toUtf8_->Run(text, kReplacement));
}

std::string TextDecoder::FromUtf8(std::string_view text) const {
    if (isUtf8_ || (asciiCompatible_ && IsAscii(text))) return std::string(text);
    return fromUtf8_->Run(text, "?");
}

}  // namespace qmtool
