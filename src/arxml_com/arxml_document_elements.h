#pragma once
// Whole-document reading finds the communication elements of a document by their kind, in
// every AR-PACKAGE at any depth, whatever the packages are called.
#include <functional>
#include <string_view>
#include <vector>

#include "quillmere/xml.h"

namespace qm::arxml {

enum class CommunicationKind {
    kOther,    // no communication element: not looked at
    kPdu,      // a PDU kind the model holds
    kCluster,  // a CAN, LIN or Ethernet cluster
    kFrame,    // a frame kind whose data a frame triggering gives to its PDUs
    kNotHeld,  // a communication element the model cannot hold
};

CommunicationKind KindOfElement(std::string_view elementName);

// The communication elements of a document, each once, in document order per list.
struct DocumentElements {
    std::vector<const NanoXML*> pdus;
    std::vector<const NanoXML*> clusters;
    // Frames and elements the model cannot hold, in document order: the frames are reported
    // when no frame triggering reached them, the others always.
    std::vector<const NanoXML*> unreadCandidates;
};

// Calls visit for each child of the ELEMENTS of every AR-PACKAGE below root, in document order.
// Walks the package structure without recursion (packages may nest thousands deep) and does
// not enter the elements: a package holds its elements, not the other way round.
void ForEachPackageElement(const NanoXML* root, const std::function<void(const NanoXML*)>& visit);

// The package elements below root sorted by kind.
DocumentElements CollectDocumentElements(const NanoXML* root);

}  // namespace qm::arxml
