#include "arxml_com/arxml_document_elements.h"

#include <array>

namespace qm::arxml {

namespace {

struct KindEntry {
    std::string_view name;
    CommunicationKind kind;
};

// clang-format off
constexpr std::array kKinds = {
    // PDUs: the I-signal PDUs of both generations and the kinds a frame carries besides them.
    KindEntry{"I-SIGNAL-I-PDU", CommunicationKind::kPdu},
    KindEntry{"SIGNAL-I-PDU", CommunicationKind::kPdu},
    KindEntry{"CONTAINER-I-PDU", CommunicationKind::kPdu},
    KindEntry{"SECURED-I-PDU", CommunicationKind::kPdu},
    KindEntry{"MULTIPLEXED-I-PDU", CommunicationKind::kPdu},
    KindEntry{"N-PDU", CommunicationKind::kPdu},
    KindEntry{"DCM-I-PDU", CommunicationKind::kPdu},
    KindEntry{"NM-PDU", CommunicationKind::kPdu},
    KindEntry{"GENERAL-PURPOSE-I-PDU", CommunicationKind::kPdu},
    KindEntry{"CAN-CLUSTER", CommunicationKind::kCluster},
    KindEntry{"LIN-CLUSTER", CommunicationKind::kCluster},
    KindEntry{"ETHERNET-CLUSTER", CommunicationKind::kCluster},
    KindEntry{"CAN-FRAME", CommunicationKind::kFrame},
    KindEntry{"FRAME", CommunicationKind::kFrame},
    KindEntry{"LIN-UNCONDITIONAL-FRAME", CommunicationKind::kFrame},
    KindEntry{"LIN-SPORADIC-FRAME", CommunicationKind::kFrame},
    KindEntry{"LIN-EVENT-TRIGGERED-FRAME", CommunicationKind::kFrame},
    KindEntry{"ETHERNET-FRAME", CommunicationKind::kFrame},
    KindEntry{"GENERIC-ETHERNET-FRAME", CommunicationKind::kFrame},
    // PDUs that carry no signals of their own: read for their name, length and frame data.
    KindEntry{"XCP-PDU", CommunicationKind::kPdu},
    KindEntry{"GENERAL-PURPOSE-PDU", CommunicationKind::kPdu},
    KindEntry{"USER-DEFINED-PDU", CommunicationKind::kPdu},
    KindEntry{"USER-DEFINED-I-PDU", CommunicationKind::kPdu},
    KindEntry{"J-1939-DCM-I-PDU", CommunicationKind::kPdu},
    // Buses of kinds the model has no place for.
    KindEntry{"FLEXRAY-CLUSTER", CommunicationKind::kNotHeld},
    KindEntry{"TTCAN-CLUSTER", CommunicationKind::kNotHeld},
    KindEntry{"J-1939-CLUSTER", CommunicationKind::kNotHeld},
    KindEntry{"COMMUNICATION-CLUSTER", CommunicationKind::kNotHeld},
    KindEntry{"FLEXRAY-FRAME", CommunicationKind::kNotHeld},
};
// clang-format on

}  // namespace

CommunicationKind KindOfElement(std::string_view elementName) {
    for (const KindEntry& entry : kKinds) {
        if (entry.name == elementName) return entry.kind;
    }
    // A package element is a PDU whatever its kind (newer schemas add kinds): its name ends so.
    constexpr std::string_view kPduSuffix = "-PDU";
    if (elementName.size() > kPduSuffix.size() &&
        elementName.substr(elementName.size() - kPduSuffix.size()) == kPduSuffix) {
        return CommunicationKind::kPdu;
    }
    return CommunicationKind::kOther;
}

void ForEachPackageElement(const NanoXML* root, const std::function<void(const NanoXML*)>& visit) {
    if (root == nullptr) return;
    // Pre-order in document order: each node's children go on the stack in reverse.
    std::vector<const NanoXML*> stack = {root};
    while (!stack.empty()) {
        const NanoXML* node = stack.back();
        stack.pop_back();
        if (node->name == "ELEMENTS" && node->parent != nullptr &&
            node->parent->name == "AR-PACKAGE") {
            for (const NanoXML* element : node->children) {
                if (!element->name.empty()) visit(element);  // text fragments are no elements
            }
            continue;
        }
        stack.insert(stack.end(), node->children.rbegin(), node->children.rend());
    }
}

DocumentElements CollectDocumentElements(const NanoXML* root) {
    DocumentElements result;
    ForEachPackageElement(root, [&result](const NanoXML* element) {
        switch (KindOfElement(element->name)) {
            case CommunicationKind::kPdu:
                result.pdus.push_back(element);
                break;
            case CommunicationKind::kCluster:
                result.clusters.push_back(element);
                break;
            case CommunicationKind::kFrame:
            case CommunicationKind::kNotHeld:
                result.unreadCandidates.push_back(element);
                break;
            case CommunicationKind::kOther:
                break;
        }
    });
    return result;
}

}  // namespace qm::arxml
