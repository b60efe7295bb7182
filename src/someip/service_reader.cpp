#include <limits>
#include <memory>
#include <string>
#include <vector>

#include "someip/someip_nodes.h"
#include "someip/someip_readers.h"

namespace qm::someip {

namespace {

// Reads a number as the conversions of the model do and says when it does not fit the field.
class ServiceValues {
  public:
    ServiceValues(const std::string& service, std::string& messages)
        : service_(service), messages_(messages) {}

    uint16_t Identifier(const NanoXML* element) {
        const std::string text = element->GetText();
        const unsigned long value = ParseDecimal(text);
        CheckRange(element, text, value, std::numeric_limits<uint16_t>::max());
        return static_cast<uint16_t>(value);
    }

    unsigned long long AnyBase(const NanoXML* element, unsigned long long limit) {
        const std::string text = element->GetText();
        const unsigned long long value = ParseAnyBase(text);
        CheckRange(element, text, value, limit);
        return value;
    }

  private:
    void CheckRange(const NanoXML* element, const std::string& text, unsigned long long value,
                    unsigned long long limit) {
        if (value <= limit) return;
        messages_ += "WARNING. Value " + text + " of " + element->name +
                     " is out of range for service: " + service_ + ".\r\n";
    }

    const std::string& service_;
    std::string& messages_;
};

std::string ServiceNameOf(const NanoXML* instance) {
    const std::string shortName = ShortName(instance);
    const size_t underscore = shortName.find('_');
    return underscore == std::string::npos ? shortName : shortName.substr(0, underscore);
}

uint32_t RoleOf(const std::string& elementName) {
    if (elementName.find("PROVIDED") != std::string::npos) return kRoleProvided;
    if (elementName.find("REQUIRED") != std::string::npos) return kRoleRequired;
    return kRoleUndefined;
}

template <class Accessor>
std::unique_ptr<Accessor> ReadAccessor(const NanoXML* element, const char* idName,
                                       ServiceValues& values) {
    uint16_t id = 0;
    if (const NanoXML* idNode = Child(element, idName)) id = values.Identifier(idNode);
    return std::make_unique<Accessor>(ShortName(element), id);
}

void ReadFieldDeployments(CSomeIpServiceCfg& service, const NanoXML* deployment,
                          const std::string& deploymentName, ServiceValues& values) {
    const NanoXML* fields = Child(deployment, "FIELD-DEPLOYMENTS");
    if (fields == nullptr) return;
    for (const NanoXML* field : fields->children) {
        auto deployed = std::make_unique<CFieldDeployment>(deploymentName, ShortName(field));
        if (const NanoXML* get = Child(field, "GET")) {
            deployed->SetGetter(ReadAccessor<CFieldGet>(get, "METHOD-ID", values));
        }
        if (const NanoXML* notifier = Child(field, "NOTIFIER")) {
            deployed->SetNotifier(ReadAccessor<CFieldNotifier>(notifier, "EVENT-ID", values));
        }
        if (const NanoXML* set = Child(field, "SET")) {
            deployed->SetSetter(ReadAccessor<CFieldSet>(set, "METHOD-ID", values));
        }
        service.AddField(std::move(deployed));
    }
}

void ReadEvents(CSomeIpServiceCfg& service, const NanoXML* deployment, ServiceValues& values) {
    const NanoXML* events = Child(deployment, "EVENT-DEPLOYMENTS");
    if (events == nullptr) return;
    for (const NanoXML* event : events->children) {
        uint16_t id = 0;
        if (const NanoXML* idNode = Child(event, "EVENT-ID")) id = values.Identifier(idNode);
        service.AddEvent(std::make_unique<CEventDeployment>(
            ShortName(event), id, ChildText(event, "TRANSPORT-PROTOCOL")));
    }
}

void ReadEventGroups(CSomeIpServiceCfg& service, const NanoXML* deployment, ServiceValues& values) {
    const NanoXML* groups = Child(deployment, "EVENT-GROUPS");
    if (groups == nullptr) return;
    for (const NanoXML* group : groups->children) {
        uint16_t id = 0;
        if (const NanoXML* idNode = Child(group, "EVENT-GROUP-ID")) id = values.Identifier(idNode);
        auto read = std::make_unique<CEventGroup>(ShortName(group), id);
        if (const NanoXML* refs = Child(group, "EVENT-REFS")) {
            for (const NanoXML* ref : refs->children) read->AddEventRef(ref->GetText());
        }
        service.AddEventGroup(std::move(read));
    }
}

void ReadDeployment(CSomeIpServiceCfg& service, const NanoXML* instance, ServiceValues& values) {
    const NanoXML* deployment = LinkedChild(instance, "SOMEIP-SERVICE-INTERFACE-DEPLOYMENT");
    if (deployment == nullptr) return;
    const std::string deploymentName = ShortName(deployment);
    ReadFieldDeployments(service, deployment, deploymentName, values);
    if (const NanoXML* id = Child(deployment, "SERVICE-INTERFACE-ID")) {
        service.serviceInterfaceId = values.Identifier(id);
    }
    if (const NanoXML* version = Child(deployment, "SERVICE-INTERFACE-VERSION")) {
        if (const NanoXML* major = Child(version, "MAJOR-VERSION")) {
            service.majorVersion = static_cast<uint8_t>(values.AnyBase(major, 0xFF));
        }
        if (const NanoXML* minor = Child(version, "MINOR-VERSION")) {
            service.minorVersion = static_cast<uint32_t>(values.AnyBase(minor, 0xFFFFFFFFull));
        }
    }
    ReadEventGroups(service, deployment, values);
    ReadEvents(service, deployment, values);
}

void ReadReal(const NanoXML* parent, const char* name, double& field) {
    if (const NanoXML* node = Child(parent, name)) field = ParseReal(node->GetText());
}

void ReadInitialBehavior(CSomeIpServiceCfg& service, const NanoXML* behavior) {
    if (behavior == nullptr) return;
    ReadReal(behavior, "INITIAL-DELAY-MAX-VALUE", service.initialDelayMax);
    ReadReal(behavior, "INITIAL-DELAY-MIN-VALUE", service.initialDelayMin);
    ReadReal(behavior, "INITIAL-REPETITIONS-BASE-DELAY", service.initialRepetitionsBaseDelay);
    if (const NanoXML* max = Child(behavior, "INITIAL-REPETITIONS-MAX")) {
        service.initialRepetitionsMax = static_cast<int32_t>(ParseDecimalSigned(max->GetText()));
    }
}

void ReadDiscoveryTiming(CSomeIpServiceCfg& service, const NanoXML* instance, uint32_t role,
                         ServiceValues& values) {
    if (role == kRoleRequired) {
        const NanoXML* client = Child(instance, "SD-CLIENT-CONFIG");
        if (client == nullptr) return;
        ReadInitialBehavior(service, Child(client, "INITIAL-FIND-BEHAVIOR"));
        if (const NanoXML* ttl = Child(client, "SERVICE-FIND-TIME-TO-LIVE")) {
            service.timeToLive = static_cast<uint32_t>(values.AnyBase(ttl, 0xFFFFFFFFull));
        }
        ReadReal(client, "FIND-CYCLIC-DELAY", service.cyclicDelay);
    } else if (role == kRoleProvided) {
        const NanoXML* server = Child(instance, "SD-SERVER-CONFIG");
        if (server == nullptr) return;
        ReadInitialBehavior(service, Child(server, "INITIAL-OFFER-BEHAVIOR"));
        if (const NanoXML* ttl = Child(server, "SERVICE-OFFER-TIME-TO-LIVE")) {
            service.timeToLive = static_cast<uint32_t>(values.AnyBase(ttl, 0xFFFFFFFFull));
        }
        ReadReal(server, "OFFER-CYCLIC-DELAY", service.cyclicDelay);
        if (const NanoXML* delay = Child(server, "REQUEST-RESPONSE-DELAY")) {
            ReadReal(delay, "MIN-VALUE", service.requestResponseDelayMin);
            ReadReal(delay, "MAX-VALUE", service.requestResponseDelayMax);
        }
    }
}

void ReadInstance(CEcu& ecu, const NanoXML* instance, std::string& messages) {
    const uint32_t role = RoleOf(instance->name);
    const std::string name = ServiceNameOf(instance);
    if (name.empty()) {
        messages += "WARNING. Service instance " + instance->name + " without a name.\r\n";
    }
    CSomeIpServiceCfg* service = ecu.ServiceNamed(name);
    service->SetRole(role);
    ServiceValues values(service->Name(), messages);
    ReadDeployment(*service, instance, values);
    const char* idName =
        role == kRoleRequired ? "REQUIRED-SERVICE-INSTANCE-ID" : "SERVICE-INSTANCE-ID";
    if (const NanoXML* id = Child(instance, idName)) service->instanceId = values.Identifier(id);
    ReadDiscoveryTiming(*service, instance, role, values);
}

}  // namespace

std::string ReadServices(NanoXML* root, const TreeSurvey& survey, CEcu* firstEcu) {
    if (root == nullptr || firstEcu == nullptr) {
        return root == nullptr ? std::string()
                               : "Missing ECU package: no ECU to hold the services.\r\n";
    }
    const std::vector<NanoXML*>& riz = survey.rizPackages;
    if (riz.size() != 1) {
        return riz.empty() ? "Missing AR-PACKAGE riz: no services read.\r\n"
                           : "WARNING. " + std::to_string(riz.size()) +
                                 " AR-PACKAGEs named riz: no services read.\r\n";
    }
    NanoXML* anchor = riz.front()->FindChild("PROVIDED-SOMEIP-SERVICE-INSTANCE", "", "", true);
    if (anchor == nullptr || anchor->parent == nullptr) {
        return "Missing PROVIDED-SOMEIP-SERVICE-INSTANCE in AR-PACKAGE riz: no services read.\r\n";
    }
    std::string messages;
    for (const NanoXML* child : anchor->parent->children) {
        ReadInstance(*firstEcu, Resolved(child), messages);
    }
    return messages;
}

}  // namespace qm::someip
