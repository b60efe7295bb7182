#include "xml/container_fields.h"

#include <cerrno>
#include <charconv>
#include <cstdio>
#include <cstdlib>

namespace qm::xml {

namespace {

std::string_view TrimBlanks(std::string_view text) {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t' || text.front() == '\r' ||
                             text.front() == '\n')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' ||
                             text.back() == '\n')) {
        text.remove_suffix(1);
    }
    return text;
}

}  // namespace

std::string EscapeStoredText(std::string_view text) {
    if (text.find_first_of("<>") == std::string_view::npos) return std::string(text);
    std::string out;
    out.reserve(text.size() + 16);
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '<') {
            out += "&lt;";
        } else if (c == '>') {
            out += "&gt;";
        } else if (c == '&' && text.substr(i, 4) == "&lt;") {
            out += "&&lltt;;";
            i += 3;
        } else if (c == '&' && text.substr(i, 4) == "&gt;") {
            out += "&&ggtt;;";
            i += 3;
        } else {
            out += c;
        }
    }
    return out;
}

NanoXML* AddTextChild(NanoXML* parent, const char* name, std::string_view text) {
    NanoXML* child = parent->AddChild(name, "", 0);
    child->text = EscapeStoredText(text);
    return child;
}

NanoXML* AddNumberChild(NanoXML* parent, const char* name, uint64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    NanoXML* child = parent->AddChild(name, "", 0);
    child->text.assign(buffer, result.ptr);
    return child;
}

NanoXML* AddSignedChild(NanoXML* parent, const char* name, int64_t value) {
    char buffer[24];
    auto result = std::to_chars(buffer, buffer + sizeof(buffer), value);
    NanoXML* child = parent->AddChild(name, "", 0);
    child->text.assign(buffer, result.ptr);
    return child;
}

std::string FormatFixed6(double value) {
    char buffer[400];
    const int length = std::snprintf(buffer, sizeof(buffer), "%f", value);
    if (length < 0) return std::string();
    return std::string(buffer, static_cast<size_t>(length) < sizeof(buffer)
                                   ? static_cast<size_t>(length)
                                   : sizeof(buffer) - 1);
}

NanoXML* AddRealChild(NanoXML* parent, const char* name, double value) {
    NanoXML* child = parent->AddChild(name, "", 0);
    child->text = FormatFixed6(value);
    return child;
}

NanoXML* FirstChild(const NanoXML* element, std::string_view name) {
    if (element == nullptr) return nullptr;
    for (NanoXML* child : element->children) {
        if (child->name == name) return child;
    }
    return nullptr;
}

std::string ChildText(const NanoXML* element, std::string_view name) {
    const NanoXML* child = FirstChild(element, name);
    return child ? child->GetText() : std::string();
}

bool ParseDecimal(std::string_view text, uint64_t& value, uint64_t limit) {
    text = TrimBlanks(text);
    if (text.empty()) return false;
    uint64_t parsed = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), parsed, 10);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size() || parsed > limit) {
        return false;
    }
    value = parsed;
    return true;
}

bool ParseSignedDecimal(std::string_view text, int64_t& value) {
    text = TrimBlanks(text);
    if (text.empty()) return false;
    int64_t parsed = 0;
    auto result = std::from_chars(text.data(), text.data() + text.size(), parsed, 10);
    if (result.ec != std::errc() || result.ptr != text.data() + text.size()) return false;
    value = parsed;
    return true;
}

bool ParseRealText(std::string_view text, double& value) {
    text = TrimBlanks(text);
    if (text.empty() || text.size() > 512) return false;
    // strtod needs a terminated text; the numbers stored here are short.
    char buffer[520];
    text.copy(buffer, text.size());
    buffer[text.size()] = '\0';
    char* end = nullptr;
    errno = 0;
    const double parsed = std::strtod(buffer, &end);
    if (end != buffer + text.size()) return false;
    value = parsed;
    return true;
}

}  // namespace qm::xml
