// GCC 12 with sanitizers and optimisation reports a false "may be used uninitialized" inside
// the regular-expression compiler of the standard library.
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wmaybe-uninitialized"
#endif
#include <regex>
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

#include "quillmere/xml.h"
#include "xml/text.h"

namespace qm {

std::string GetAutosarSchemaVersion(const NanoXML& root) {
    const std::string location = root.GetAttribute("xsi:schemaLocation");
    static const std::regex versionPattern("[0-9][-.][0-9][-.][0-9]");
    static const std::regex releasePattern("[0][0][0][0-9][0-9]");
    std::smatch match;
    if (std::regex_search(location, match, versionPattern)) return match.str(0);
    // A release number such as "00043" names the version by its last two digits.
    if (std::regex_search(location, match, releasePattern)) return match.str(0).substr(3);
    return "";
}

}  // namespace qm
