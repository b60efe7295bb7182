#include "arxml_com/arxml_cluster_reader.h"

#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "arxml_com/arxml_ecu_reader.h"
#include "arxml_com/arxml_nodes.h"

namespace qm::arxml {

namespace {

int32_t KindOf(const std::string& elementName) {
    if (StartsWith(elementName, "CAN")) return kArxmlClusterCan;
    if (StartsWith(elementName, "LIN")) return kArxmlClusterLin;
    if (StartsWith(elementName, "ETHERNET")) return kArxmlClusterEthernet;
    return kArxmlClusterNone;
}

// Reads one cluster element. AUTOSAR 4 keeps most of a cluster inside
// <X>-CLUSTER-VARIANTS / <X>-CLUSTER-CONDITIONAL; AUTOSAR 3 keeps it in the element itself.
class ClusterReader {
  public:
    ClusterReader(ArxmlReadContext& context, const NanoXML* element, ArxmlCluster& cluster)
        : context_(context), cluster_(cluster) {
        body_.push_back(element);
        for (const NanoXML* child : element->children) {
            if (!EndsWith(child->name, "-VARIANTS")) continue;
            for (const NanoXML* conditional : child->children) {
                if (EndsWith(conditional->name, "-CONDITIONAL")) body_.push_back(conditional);
            }
        }
    }

    void Read() {
        ReadProperties();
        for (const NanoXML* holder : body_) {
            const NanoXML* channels = Child(holder, "PHYSICAL-CHANNELS");
            if (channels == nullptr) continue;
            for (const NanoXML* channel : channels->children) ReadChannel(channel);
        }
    }

  private:
    const NanoXML* Property(std::string_view name) const {
        for (const NanoXML* holder : body_) {
            if (const NanoXML* found = Child(holder, name)) return found;
        }
        return nullptr;
    }

    // The element of this generation's spelling; whole-document reading also takes the other
    // generation's, which converted documents mix.
    const NanoXML* EitherChild(const NanoXML* node, std::string_view name4,
                               std::string_view name3) const {
        const NanoXML* found = Child(node, context_.autosar4 ? name4 : name3);
        if (found != nullptr || !context_.wholeDocument) return found;
        return Child(node, context_.autosar4 ? name3 : name4);
    }

    void ReadProperties() {
        const NanoXML* baudrate = Property(context_.autosar4 ? "BAUDRATE" : "SPEED");
        if (baudrate == nullptr && context_.wholeDocument) {
            baudrate = Property(context_.autosar4 ? "SPEED" : "BAUDRATE");
        }
        if (baudrate) cluster_.SetBaudrate(ParseUnsigned(baudrate->GetText()));
        if (const NanoXML* fd = Property("CAN-FD-BAUDRATE")) {
            cluster_.SetCanFdBaudrate(ParseUnsigned(fd->GetText()));
        }
        cluster_.SetProtocolName(Text(Property("PROTOCOL-NAME")));
        cluster_.SetProtocolVersion(Text(Property("PROTOCOL-VERSION")));
    }

    void ReadChannel(const NanoXML* channel) {
        ReadConnectors(EitherChild(channel, "COMM-CONNECTORS", "TP-NODES"));
        if (const NanoXML* list = EitherChild(channel, "PDU-TRIGGERINGS", "I-PDU-TRIGGERINGS")) {
            for (const NanoXML* triggering : list->children) ReadPduTriggering(triggering);
        }
        if (const NanoXML* list = EitherChild(channel, "FRAME-TRIGGERINGS", "FRAME-TRIGGERINGSS")) {
            for (const NanoXML* triggering : list->children) ReadFrameTriggering(triggering);
        }
    }

    // Each connector leads through its controller to the ECU instance that holds it; whole-
    // document reading also takes the instance of a connector that names no controller.
    void ReadConnectors(const NanoXML* list) {
        if (list == nullptr) return;
        for (const NanoXML* entry : list->children) {
            const NanoXML* connector = Target(ReferenceOf(entry));
            if (connector == nullptr) continue;
            const NanoXML* controller = ChildTarget(connector, "COMM-CONTROLLER-REF");
            if (controller == nullptr && !context_.wholeDocument) continue;
            const NanoXML* instance = Ancestor(controller ? controller : connector, "ECU-INSTANCE");
            if (instance == nullptr) continue;
            ArxmlEcu& ecu = EcuFor(instance);
            ReadController(context_, controller, ecu);
        }
    }

    // The cluster's ECU read from instance. Each connector appends one; whole-document reading
    // keeps one ECU per instance (an ECU with two controllers on the cluster is one ECU).
    ArxmlEcu& EcuFor(const NanoXML* instance) {
        if (context_.wholeDocument) {
            const auto it = ecus_.find(instance);
            if (it != ecus_.end()) return *it->second;
        }
        auto ecu = std::make_unique<ArxmlEcu>();
        ecu->SetNumber(static_cast<int32_t>(cluster_.GetEcuCount()));
        ReadEcuInstance(context_, instance, *ecu);
        ArxmlEcu* added = cluster_.AddEcu(std::move(ecu));
        ecus_.emplace(instance, added);
        return *added;
    }

    void ReadPduTriggering(const NanoXML* triggering) {
        const NanoXML* element = ChildTarget(triggering, "I-PDU-REF");
        if (element == nullptr) return;
        if (ArxmlPdu* pdu = context_.PduOf(element, ShortName(element))) {
            cluster_.AddPdu(pdu, context_.OnceEach());
        }
    }

    // Resolves one PDU reference of a frame triggering; reports a PDU the file does not hold.
    void AddReferencedPdu(const NanoXML* reference, const std::string& triggering,
                          std::vector<ArxmlPdu*>& pdus) {
        const NanoXML* element = Target(reference);
        const std::string name = element ? ShortName(element) : LastPathComponent(Text(reference));
        if (ArxmlPdu* pdu = context_.PduOf(element, name)) {
            pdus.push_back(pdu);
        } else {
            context_.Message("Pdu: " + name + " not found for frame triggering: " + triggering);
        }
    }

    // The PDUs a frame triggering carries: those laid into its frame, or else those of its
    // PDU triggerings. Returns false when neither names any PDU.
    bool CollectFramePdus(const NanoXML* triggering, const NanoXML* frame, const std::string& name,
                          std::vector<ArxmlPdu*>& pdus) {
        bool referenced = false;
        if (const NanoXML* mappings = Child(frame, "PDU-TO-FRAME-MAPPINGS")) {
            for (const NanoXML* mapping : mappings->children) {
                const NanoXML* reference = Child(mapping, "PDU-REF");
                if (reference == nullptr) continue;
                referenced = true;
                AddReferencedPdu(reference, name, pdus);
            }
        }
        if (referenced) return true;
        const NanoXML* list = EitherChild(triggering, "PDU-TRIGGERINGS", "I-PDU-TRIGGERING-REFS");
        if (list == nullptr) return false;
        for (const NanoXML* entry : list->children) {
            const NanoXML* reference = Child(Target(ReferenceOf(entry)), "I-PDU-REF");
            if (reference == nullptr) continue;
            referenced = true;
            AddReferencedPdu(reference, name, pdus);
        }
        return referenced;
    }

    void AssignToPorts(const NanoXML* triggering, const std::vector<ArxmlPdu*>& pdus) {
        const NanoXML* ports = Child(triggering, "FRAME-PORT-REFS");
        if (ports == nullptr) return;
        for (const NanoXML* reference : ports->children) {
            const NanoXML* port = Target(reference);
            const NanoXML* instance = Ancestor(port, "ECU-INSTANCE");
            if (instance == nullptr) continue;
            // The port's ECU instance names an ECU the connectors brought to the cluster.
            auto* ecu = static_cast<ArxmlEcu*>(cluster_.FindEcu(ShortName(instance).c_str()));
            if (ecu == nullptr) continue;
            const std::string direction = ChildText(port, "COMMUNICATION-DIRECTION");
            for (ArxmlPdu* pdu : pdus) {
                if (direction == "IN") ecu->AddRxPdu(pdu, context_.OnceEach());
                if (direction == "OUT") ecu->AddTxPdu(pdu, context_.OnceEach());
            }
        }
    }

    void SetFrameData(const NanoXML* triggering, const NanoXML* frame, ArxmlPdu& pdu) {
        const NanoXML* identifier = Child(triggering, "IDENTIFIER");
        pdu.SetIdentifier(
            identifier ? static_cast<int32_t>(context_.Unsigned(identifier->GetText())) : -1);
        if (const NanoXML* length = Child(frame, "FRAME-LENGTH")) {
            pdu.SetLength(static_cast<uint16_t>(context_.Unsigned(length->GetText())));
        }
        const std::string addressing = ChildText(triggering, "CAN-ADDRESSING-MODE");
        if (addressing == "STANDARD") pdu.SetAddressing(true, false);
        if (addressing == "EXTENDED") pdu.SetAddressing(false, true);
        pdu.SetRxBehavior(ChildText(triggering, "CAN-FRAME-RX-BEHAVIOR"));
        pdu.SetTxBehavior(ChildText(triggering, "CAN-FRAME-TX-BEHAVIOR"));
    }

    void ReadFrameTriggering(const NanoXML* triggering) {
        const std::string name = ShortName(triggering);
        const NanoXML* frame = ChildTarget(triggering, "FRAME-REF");
        std::vector<ArxmlPdu*> pdus;
        if (!CollectFramePdus(triggering, frame, name, pdus)) {
            context_.Message("No pdu ref for frame triggering: " + name);
        }
        AssignToPorts(triggering, pdus);
        // The cluster's PDUs are those of its PDU triggerings; a frame only gives its data.
        for (ArxmlPdu* pdu : pdus) {
            SetFrameData(triggering, frame, *pdu);
            if (frame != nullptr) pdu->NoteFrame(ShortName(frame));
        }
        if (frame != nullptr) {
            context_.framesTriggered.insert(frame);
            if (!pdus.empty()) context_.framesRead.insert(frame);
        }
    }

    ArxmlReadContext& context_;
    ArxmlCluster& cluster_;
    std::vector<const NanoXML*> body_;
    std::unordered_map<const NanoXML*, ArxmlEcu*> ecus_;
};

}  // namespace

void ReadCluster(ArxmlReadContext& context, const NanoXML* element) {
    const int32_t kind = KindOf(element->name);
    if (kind == kArxmlClusterNone) {
        context.Message("Unknown cluster name: " + element->name);
        return;
    }
    auto created = std::make_unique<ArxmlCluster>();
    created->SetName(ShortName(element));
    created->SetKind(kind);
    ArxmlCluster* cluster = context.clusters.Add(std::move(created));
    ClusterReader(context, element, *cluster).Read();
}

}  // namespace qm::arxml
