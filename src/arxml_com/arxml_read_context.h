#pragma once
// What the section readers of one ARXML load share: the lists they fill, the message log and
// the lookups from elements to the model objects made from them.
#include <string>

#include "arxml_com/arxml_cluster.h"
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

    // Appends one message line; every ARXML message ends in ".\r\n".
    void Message(const std::string& text) { messages.append(text).append(".\r\n"); }

    // A PDU element names a PDU of the file by its short name: the first PDU of that name.
    ArxmlPdu* FindPdu(const std::string& name) const { return pdus.Find(name.c_str()); }
};

}  // namespace qm::arxml
