#pragma once
// Finding the packages a section reader walks. The preferred packages (by SHORT-NAME) come
// first, the first package of each name; every other package follows in document order, since
// real documents keep their PDUs and clusters under any package names.
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "quillmere/xml.h"

namespace qm::arxml {

// Every AR-PACKAGE below root in document order, without entering ELEMENTS.
std::vector<const NanoXML*> AllPackages(const NanoXML* root);

// The packages in reading order: the first package of each preferred name in turn, then the rest.
std::vector<const NanoXML*> PackagesInReadingOrder(
    const NanoXML* root, std::initializer_list<std::string_view> preferred);

// Calls visit for each element of the packages' ELEMENTS that accept() takes, package by package.
void ForEachPackageElement(const std::vector<const NanoXML*>& packages,
                           const std::function<bool(const NanoXML*)>& accept,
                           const std::function<void(const NanoXML*)>& visit);

}  // namespace qm::arxml
