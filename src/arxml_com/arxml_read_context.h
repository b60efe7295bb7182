#pragma once
// What the section readers of one ARXML load share: the lists they fill, the message log and
// the lookups from elements to the model objects made from them.
#include <string>
#include <unordered_map>
#include <unordered_set>

#include "arxml_com/arxml_cluster.h"
#include "arxml_com/arxml_nodes.h"
#include "arxml_com/arxml_pdu.h"
#include "arxml_com/named_list.h"
#include "quillmere/xml.h"

namespace qm::arxml {

struct ArxmlReadContext {
    ArxmlReadContext(OwnedNamedList<ArxmlPdu>& pduList, OwnedNamedList<ArxmlCluster>& clusterList,
                     std::string& log, bool isAutosar4)
        : pdus(pduList), clusters(clusterList), messages(log), autosar4(isAutosar4) {}

    OwnedNamedList<ArxmlPdu>& pdus;
    OwnedNamedList<ArxmlCluster>& clusters;
    std::string& messages;
    bool autosar4 = true;
    // Whole-document reading: PDUs are known by the element they were read from, so that a
    // reference leads to exactly that PDU even where several PDUs share a short name.
    bool wholeDocument = false;
    std::unordered_map<const NanoXML*, ArxmlPdu*> pduByElement;
    // The frame elements a frame triggering led to, and those whose data reached a PDU.
    std::unordered_set<const NanoXML*> framesTriggered;
    std::unordered_set<const NanoXML*> framesRead;

    // Whether a list of PDUs (of a cluster, an ECU's sent or received PDUs, a group) holds a PDU
    // once however often it is named: whole-document reading; exact reading appends each time.
    bool OnceEach() const { return wholeDocument; }

    // A count or position (a length, a start bit, an identifier): read with strtoul (base 0);
    // whole-document reading also takes AUTOSAR's binary form ("0b11").
    unsigned long Unsigned(const std::string& text) const {
        return wholeDocument ? ParseAutosarUnsigned(text) : ParseUnsigned(text);
    }

    // Appends one message line; every ARXML message ends in ".\r\n".
    void Message(const std::string& text) { messages.append(text).append(".\r\n"); }

    // A PDU element names a PDU of the file by its short name: the first PDU of that name.
    ArxmlPdu* FindPdu(const std::string& name) const { return pdus.Find(name.c_str()); }

    // The PDU a referenced PDU element stands for: in whole-document reading the PDU read from
    // that very element when there is one, otherwise (and always in exact reading) the first
    // PDU of the element's short name.
    ArxmlPdu* PduOf(const NanoXML* element, const std::string& shortName) const {
        if (wholeDocument && element != nullptr) {
            const auto it = pduByElement.find(element);
            if (it != pduByElement.end()) return it->second;
        }
        return FindPdu(shortName);
    }
};

}  // namespace qm::arxml
