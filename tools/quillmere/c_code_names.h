#pragma once
// Names and constants of generated C code: any text of a description (a frame, a signal, a value
// text) made into a C identifier, the scopes that keep identifiers unique, numbers as C
// constants that read back to the same value, and texts made safe for comments (no name of a
// file may end a comment or form a trigraph).
#include <cstdint>
#include <string>
#include <string_view>
#include <unordered_set>

namespace qmtool::ccode {

// "EngineSpeed_RPM" -> "engine_speed_rpm": words split at case changes, every character that is
// no ASCII letter or digit a '_', runs of '_' folded, none at either end; "" when nothing is left.
std::string SnakeCase(std::string_view name);
std::string UpperCase(std::string_view identifier);

// A struct member name: SnakeCase, "unnamed" when empty, '_' in front of a leading digit, and a
// trailing '_' for C keywords.
std::string MemberIdentifier(std::string_view name);

// The identifiers already used in one scope (a struct's members, or the file scope).
class CNameScope {
  public:
    bool Taken(const std::string& name) const { return used_.count(name) != 0; }
    void Take(const std::string& name) { used_.insert(name); }
    // base, or base_2, base_3, ...: the first that is free, taken.
    std::string Unique(const std::string& base);

  private:
    std::unordered_set<std::string> used_;
};

// Printable ASCII only (others become '?'), with no "*/", "/*" or "??" (a trigraph): for
// comments.
std::string CommentText(std::string_view text);

// C constants: "7u", "UINT64_C(...)", "-3", "INT64_C(...)"; a double in its shortest form that
// reads back exactly ("0.1", "5.0", "1e-05"), HUGE_VAL and NAN (of <math.h>) when not finite.
std::string UnsignedLiteral(uint64_t value);
std::string SignedLiteral(int64_t value);
std::string DoubleLiteral(double value);

}  // namespace qmtool::ccode
