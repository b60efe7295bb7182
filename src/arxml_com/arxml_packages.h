#pragma once
// Finding the element lists a section reader walks: the packages of given short names (the
// first package of each name in document order) or, in AUTOSAR 3 cluster reading, the ELEMENTS
// lists that hold the first element of given names.
#include <functional>
#include <initializer_list>
#include <string_view>
#include <vector>

#include "quillmere/xml.h"

namespace qm::arxml {

// The first AR-PACKAGE below root (pre-order, document order) that has a SHORT-NAME child with
// exactly that text; null when there is none.
const NanoXML* FindPackage(const NanoXML* root, std::string_view shortName);

// The ELEMENTS lists of the first package of each name, in the order of the names; a package
// found twice, or one without ELEMENTS, adds nothing.
std::vector<const NanoXML*> PackageElements(const NanoXML* root,
                                            std::initializer_list<std::string_view> shortNames);

// The parents of the first element of each name below root, in the order of the names; each
// parent is listed once.
std::vector<const NanoXML*> ListsHolding(const NanoXML* root,
                                         std::initializer_list<std::string_view> elementNames);

// Calls visit for each child of each list, list by list.
void ForEachListElement(const std::vector<const NanoXML*>& lists,
                        const std::function<void(const NanoXML*)>& visit);

}  // namespace qm::arxml
