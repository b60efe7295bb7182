#pragma once
// Small byte-string helpers shared by every reader and writer. Letters mean ASCII letters only.
#include <cstdint>
#include <string>
#include <vector>

class NanoXML;

namespace qm {

void TrimLeft(std::string& s);
void TrimRight(std::string& s);
void Trim(std::string& s);
std::string ToUpper(const std::string& s);
std::string ToLower(const std::string& s);
void StripQuotes(std::string& s);
int ReplaceAll(std::string& s, const std::string& from, const std::string& to);
// Named Latin-1 entities, &#x80; to &#x9F;, &lt;, &gt; and a few decimal references (DBC texts).
int DecodeEntities(std::string& s);

const char* ToBoolString(bool b);
// Throws std::invalid_argument("Value: " + s + " is not convertible to bool!").
bool ParseBool(const std::string& s);
bool IsIntegerLiteral(const std::string& s);
bool IsHexLiteral(const std::string& s);

std::string FormatHexByte(unsigned v);
std::string FormatHex16(unsigned v);
std::string FormatDouble(double v, int precision, bool scientific);
std::string FormatMilliseconds(uint32_t start, uint32_t end);

std::wstring FileNameOfPath(const std::wstring& path);
std::wstring StripExtension(const std::wstring& name);
std::string DirectoryOfPath(const std::string& path);

std::string Base64Encode(const std::string& bytes);
std::string Base64Decode(const std::string& text);

// "4.2.2"-style version from the root's xsi:schemaLocation, or "" when none is found.
std::string GetAutosarSchemaVersion(const NanoXML& root);

// Decodes XML character references ("&#38;", "&#x26;") and the five predefined entities left
// in a text (the reader keeps them as written), writing UTF-8; other text is left as it is.
std::string DecodeCharacterReferences(std::string text);

}  // namespace qm
