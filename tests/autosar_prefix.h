#pragma once
// A document written here, its elements put in a prefix bound to the AUTOSAR namespace
// ("<ar:AUTOSAR xmlns:ar=...>", "<ar:SHORT-NAME>"), as some tools write ARXML.
#include <regex>
#include <string>

namespace qmtest {

inline std::string WithAutosarPrefix(const std::string& text) {
    const std::string named = std::regex_replace(text, std::regex("<(/?)([A-Z])"), "<$1ar:$2");
    if (named.find("xmlns=") != std::string::npos)
        return std::regex_replace(named, std::regex("xmlns="), "xmlns:ar=");
    return std::regex_replace(named, std::regex("<ar:AUTOSAR"),
                              "<ar:AUTOSAR xmlns:ar=\"http://autosar.org/schema/r4.0\"");
}

}  // namespace qmtest
