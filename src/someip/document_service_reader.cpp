// Services of whole-document reading: service interfaces, SOME/IP deployments and instances
// of the Adaptive Platform, provided and consumed service instances of the Classic Platform,
// and where each instance runs. One service per interface; a deployment joins the service of
// the interface it names, an instance the service of its deployment.
#include <cerrno>
#include <cstdlib>
#include <set>
#include <unordered_set>

#include "arxml_com/arxml_document_elements.h"
#include "arxml_com/arxml_nodes.h"
#include "someip/document_reader.h"

namespace qm::someip {

using arxml::Ancestor;
using arxml::Child;
using arxml::ChildText;
using arxml::LastPathComponent;
using arxml::ShortName;
using arxml::Target;
using arxml::Text;

namespace {

enum class ElementKind {
    kOther,
    kType,
    kInterface,
    kDeployment,
    kInstance,
    kClassicInstance,
    kMapping,
    kEthernetCluster,
    kNotHeld,
};

struct KindEntry {
    std::string_view name;
    ElementKind kind;
};

constexpr KindEntry kKinds[] = {
    {"IMPLEMENTATION-DATA-TYPE", ElementKind::kType},
    {"STD-CPP-IMPLEMENTATION-DATA-TYPE", ElementKind::kType},
    {"APPLICATION-PRIMITIVE-DATA-TYPE", ElementKind::kType},
    {"APPLICATION-RECORD-DATA-TYPE", ElementKind::kType},
    {"APPLICATION-ARRAY-DATA-TYPE", ElementKind::kType},
    {"SERVICE-INTERFACE", ElementKind::kInterface},
    {"SOMEIP-SERVICE-INTERFACE-DEPLOYMENT", ElementKind::kDeployment},
    {"PROVIDED-SOMEIP-SERVICE-INSTANCE", ElementKind::kInstance},
    {"REQUIRED-SOMEIP-SERVICE-INSTANCE", ElementKind::kInstance},
    {"PROVIDED-SERVICE-INSTANCE", ElementKind::kClassicInstance},
    {"CONSUMED-SERVICE-INSTANCE", ElementKind::kClassicInstance},
    {"SOMEIP-SERVICE-INSTANCE-TO-MACHINE-MAPPING", ElementKind::kMapping},
    {"SERVICE-INSTANCE-TO-MACHINE-MAPPING", ElementKind::kMapping},
    {"SERVICE-INSTANCE-TO-PORT-PROTOTYPE-MAPPING", ElementKind::kMapping},
    {"ETHERNET-CLUSTER", ElementKind::kEthernetCluster},
    {"DDS-SERVICE-INTERFACE-DEPLOYMENT", ElementKind::kNotHeld},
    {"USER-DEFINED-SERVICE-INTERFACE-DEPLOYMENT", ElementKind::kNotHeld},
    {"PROVIDED-DDS-SERVICE-INSTANCE", ElementKind::kNotHeld},
    {"REQUIRED-DDS-SERVICE-INSTANCE", ElementKind::kNotHeld},
    {"PROVIDED-USER-DEFINED-SERVICE-INSTANCE", ElementKind::kNotHeld},
    {"REQUIRED-USER-DEFINED-SERVICE-INSTANCE", ElementKind::kNotHeld},
    {"APPLICATION-ASSOC-MAP-DATA-TYPE", ElementKind::kNotHeld},
    {"APPLICATION-DEFERRED-DATA-TYPE", ElementKind::kNotHeld},
    {"SOMEIP-SD-CLIENT-EVENT-GROUP-TIMING-CONFIG", ElementKind::kNotHeld},
    {"SOMEIP-SD-SERVER-EVENT-GROUP-TIMING-CONFIG", ElementKind::kNotHeld},
};

ElementKind KindOf(const std::string& name) {
    // Most package elements are of no interest: a length test rejects most of them cheaply.
    for (const KindEntry& entry : kKinds) {
        if (entry.name.size() == name.size() && entry.name == name) return entry.kind;
    }
    return ElementKind::kOther;
}

std::string Trimmed(std::string text) {
    text.erase(0, text.find_first_not_of(" \t\r\n"));
    text.erase(text.find_last_not_of(" \t\r\n") + 1);
    return text;
}

// Reads identifiers and versions of one service, reporting texts that are no number or do not
// fit in the message form of the described reader.
class Values {
  public:
    Values(const std::string& service, std::string& messages)
        : service_(service), messages_(messages) {}

    // The number of the child `name` of node in any C base, -1 when absent; "ANY" reads as
    // `any` where one is given.
    int64_t Read(const NanoXML* node, std::string_view name, int64_t max, int64_t any = -1) {
        const NanoXML* child = Child(node, name);
        if (child == nullptr) return -1;
        const std::string text = Trimmed(Text(child));
        if (any >= 0 && text == "ANY") return any;
        errno = 0;
        char* end = nullptr;
        const unsigned long long value = std::strtoull(text.c_str(), &end, 0);
        if (text.empty() || text[0] == '-' || errno != 0 || *end != '\0' ||
            value > static_cast<unsigned long long>(max)) {
            messages_ += "WARNING. Value " + text + " of " + child->name +
                         " is out of range for service: " + service_ + ".\r\n";
            return -1;
        }
        return static_cast<int64_t>(value);
    }

  private:
    const std::string& service_;
    std::string& messages_;
};

constexpr int64_t kMaxId = 0xFFFF;

class ServiceReader {
  public:
    ServiceReader(DocumentModel& model, TypeTable& types, std::string& messages)
        : model_(model), types_(types), messages_(messages) {}

    void ReadInterface(const NanoXML* element);
    void ReadDeployment(const NanoXML* element, CSomeIpService* service);
    CSomeIpService* ServiceOfDeployment(const NanoXML* element);
    void ReadInstance(const NanoXML* element);
    void ReadClassicInstance(const NanoXML* element);
    void ReadMapping(const NanoXML* element);
    void CheckDuplicateIds();

  private:
    template <class Item>
    Item& Join(CSomeIpService& service, std::vector<std::unique_ptr<Item>>& items, char kind,
               const NanoXML* reference, const std::string& entryName);
    static std::string MemberKey(const CSomeIpService& service, char kind, const std::string& name);
    void IndexDeployedMembers(const CSomeIpService& service);
    CSomeIpService* NewService(const std::string& name);
    CSomeIpService* ServiceByKey(const std::string& key, const std::string& name);
    void Unresolved(const NanoXML* owner, const NanoXML* reference);
    void ReadTiming(CSomeIpInstance& instance, const NanoXML* config, Values& values);
    void AddProvider(CSomeIpInstance& instance, const std::string& name, const char* kind);

    DocumentModel& model_;
    TypeTable& types_;
    std::string& messages_;
    std::unordered_map<const NanoXML*, CSomeIpService*> byInterface_;
    std::unordered_map<const NanoXML*, CSomeIpService*> byDeployment_;
    std::unordered_map<std::string, CSomeIpService*> byKey_;
    std::unordered_map<const NanoXML*, CSomeIpInstance*> instances_;
    std::unordered_map<int64_t, CSomeIpService*> classicById_;
    // Interface members by their element, and members that deployments brought by service,
    // kind and name: joins stay linear however many members a service has.
    std::unordered_map<const NanoXML*, std::pair<const CSomeIpService*, void*>> byPrototype_;
    std::unordered_map<std::string, void*> byMemberName_;
    std::unordered_set<const CSomeIpService*> indexedServices_;
    std::set<std::pair<const CSomeIpService*, int64_t>> classicGroups_;
};

// The member of `items` that a deployment entry joins: the one read from the interface element
// its reference leads to, else the one a deployment of the same service brought under that
// name, else a new one.
template <class Item>
Item& ServiceReader::Join(CSomeIpService& service, std::vector<std::unique_ptr<Item>>& items,
                          char kind, const NanoXML* reference, const std::string& entryName) {
    const NanoXML* target = Target(reference);
    if (target != nullptr) {
        auto found = byPrototype_.find(target);
        if (found != byPrototype_.end() && found->second.first == &service) {
            return *static_cast<Item*>(found->second.second);
        }
    }
    std::string name =
        target ? ShortName(target) : (reference ? LastPathComponent(Text(reference)) : entryName);
    if (name.empty()) name = entryName;
    // The entries of a service's first deployment are members of their own; from its second
    // deployment on, the members the earlier ones brought are looked up by name.
    if (service.deployments.size() > 1) {
        IndexDeployedMembers(service);
        auto found = byMemberName_.find(MemberKey(service, kind, name));
        if (found != byMemberName_.end()) return *static_cast<Item*>(found->second);
    }
    items.push_back(std::make_unique<Item>());
    items.back()->name = name;
    if (service.deployments.size() > 1) {
        byMemberName_.emplace(MemberKey(service, kind, name), items.back().get());
    }
    return *items.back();
}

std::string ServiceReader::MemberKey(const CSomeIpService& service, char kind,
                                     const std::string& name) {
    return std::to_string(reinterpret_cast<uintptr_t>(&service)) + kind + name;
}

void ServiceReader::IndexDeployedMembers(const CSomeIpService& service) {
    if (!indexedServices_.insert(&service).second) return;
    for (const auto& method : service.methods) {
        if (method->operation == nullptr)
            byMemberName_.emplace(MemberKey(service, 'm', method->name), method.get());
    }
    for (const auto& event : service.events) {
        if (event->prototype == nullptr)
            byMemberName_.emplace(MemberKey(service, 'e', event->name), event.get());
    }
    for (const auto& field : service.fields) {
        if (field->prototype == nullptr)
            byMemberName_.emplace(MemberKey(service, 'f', field->name), field.get());
    }
}

CSomeIpService* ServiceReader::NewService(const std::string& name) {
    model_.services.push_back(std::make_unique<CSomeIpService>());
    model_.services.back()->name = name;
    return model_.services.back().get();
}

CSomeIpService* ServiceReader::ServiceByKey(const std::string& key, const std::string& name) {
    auto found = byKey_.find(key);
    if (found != byKey_.end()) return found->second;
    CSomeIpService* service = NewService(name);
    byKey_.emplace(key, service);
    return service;
}

void ServiceReader::Unresolved(const NanoXML* owner, const NanoXML* reference) {
    const std::string name = ShortName(owner);
    messages_ += reference->name + " of " + owner->name + " " +
                 (name.empty() ? "(no name)" : name) + " not resolved: " + Text(reference) +
                 ".\r\n";
}

void ServiceReader::ReadInterface(const NanoXML* element) {
    CSomeIpService* service = NewService(ShortName(element));
    byInterface_.emplace(element, service);
    service->hasInterface = true;
    service->interfacePath = PackagePath(element);
    Values values(service->name, messages_);
    service->majorVersion = static_cast<int32_t>(values.Read(element, "MAJOR-VERSION", 0xFF));
    service->minorVersion = values.Read(element, "MINOR-VERSION", 0xFFFFFFFF);
    if (const NanoXML* methods = Child(element, "METHODS")) {
        for (const NanoXML* operation : methods->children) {
            if (operation->name != "CLIENT-SERVER-OPERATION") continue;
            auto method = std::make_unique<CSomeIpMethod>();
            method->name = ShortName(operation);
            method->operation = operation;
            byPrototype_.emplace(operation, std::make_pair(service, method.get()));
            method->fireAndForget = Trimmed(ChildText(operation, "FIRE-AND-FORGET")) == "true";
            if (const NanoXML* arguments = Child(operation, "ARGUMENTS")) {
                for (const NanoXML* argument : arguments->children) {
                    if (argument->name != "ARGUMENT-DATA-PROTOTYPE") continue;
                    std::string direction = Trimmed(ChildText(argument, "DIRECTION"));
                    for (char& c : direction) c = static_cast<char>(std::tolower(c));
                    method->arguments.push_back(
                        {ShortName(argument), direction,
                         types_.FromReference(Child(argument, "TYPE-TREF"))});
                }
            }
            service->methods.push_back(std::move(method));
        }
    }
    if (const NanoXML* events = Child(element, "EVENTS")) {
        for (const NanoXML* prototype : events->children) {
            if (prototype->name != "VARIABLE-DATA-PROTOTYPE") continue;
            auto event = std::make_unique<CSomeIpEvent>();
            event->name = ShortName(prototype);
            event->prototype = prototype;
            byPrototype_.emplace(prototype, std::make_pair(service, event.get()));
            event->type = types_.FromReference(Child(prototype, "TYPE-TREF"));
            service->events.push_back(std::move(event));
        }
    }
    if (const NanoXML* fields = Child(element, "FIELDS")) {
        for (const NanoXML* prototype : fields->children) {
            if (prototype->name != "FIELD") continue;
            auto field = std::make_unique<CSomeIpField>();
            field->name = ShortName(prototype);
            field->prototype = prototype;
            byPrototype_.emplace(prototype, std::make_pair(service, field.get()));
            field->type = types_.FromReference(Child(prototype, "TYPE-TREF"));
            service->fields.push_back(std::move(field));
        }
    }
    if (const NanoXML* triggers = Child(element, "TRIGGERS")) {
        for (const NanoXML* trigger : triggers->children) {
            if (!trigger->name.empty())
                messages_ += trigger->name + " not read: " + ShortName(trigger) + ".\r\n";
        }
    }
    ++model_.counts[kSomeIpCountServiceInterfaces];
}

CSomeIpService* ServiceReader::ServiceOfDeployment(const NanoXML* element) {
    const NanoXML* reference = Child(element, "SERVICE-INTERFACE-REF");
    if (reference != nullptr) {
        const NanoXML* target = Target(reference);
        auto found = byInterface_.find(target);
        if (found != byInterface_.end()) return found->second;
        Unresolved(element, reference);
        const std::string path = Text(reference);
        return ServiceByKey("interface:" + path, LastPathComponent(path));
    }
    const std::string name = ShortName(element);
    return NewService(name.empty() ? ShortName(element->parent) : name);
}

void ServiceReader::ReadDeployment(const NanoXML* element, CSomeIpService* service) {
    byDeployment_.emplace(element, service);
    std::string name = ShortName(element);
    service->deployments.push_back(name);
    Values values(service->name, messages_);
    const int64_t id = values.Read(element, "SERVICE-INTERFACE-ID", kMaxId);
    if (id >= 0) {
        if (service->serviceId >= 0 && service->serviceId != id) {
            messages_ += "WARNING. Service " + service->name +
                         " has deployments with service ids " + std::to_string(service->serviceId) +
                         " and " + std::to_string(id) + ": the first is kept.\r\n";
        } else {
            service->serviceId = static_cast<int32_t>(id);
        }
    }
    if (const NanoXML* version = Child(element, "SERVICE-INTERFACE-VERSION")) {
        const int64_t major = values.Read(version, "MAJOR-VERSION", 0xFF);
        const int64_t minor = values.Read(version, "MINOR-VERSION", 0xFFFFFFFF);
        if (major >= 0) service->majorVersion = static_cast<int32_t>(major);
        if (minor >= 0) service->minorVersion = minor;
    }
    auto transportOf = [](const NanoXML* node) {
        return Trimmed(ChildText(node, "TRANSPORT-PROTOCOL"));
    };
    if (const NanoXML* list = Child(element, "EVENT-DEPLOYMENTS")) {
        for (const NanoXML* entry : list->children) {
            if (entry->name != "SOMEIP-EVENT-DEPLOYMENT") continue;
            const NanoXML* ref = Child(entry, "EVENT-REF");
            if (ref != nullptr && Target(ref) == nullptr && service->hasInterface)
                Unresolved(entry, ref);
            CSomeIpEvent& event = Join(*service, service->events, 'e', ref, ShortName(entry));
            const int64_t eventId = values.Read(entry, "EVENT-ID", kMaxId);
            if (event.id < 0) event.id = static_cast<int32_t>(eventId);
            if (event.transport.empty()) event.transport = transportOf(entry);
        }
    }
    if (const NanoXML* list = Child(element, "METHOD-DEPLOYMENTS")) {
        for (const NanoXML* entry : list->children) {
            if (entry->name != "SOMEIP-METHOD-DEPLOYMENT") continue;
            const NanoXML* ref = Child(entry, "METHOD-REF");
            if (ref != nullptr && Target(ref) == nullptr && service->hasInterface)
                Unresolved(entry, ref);
            CSomeIpMethod& method = Join(*service, service->methods, 'm', ref, ShortName(entry));
            const int64_t methodId = values.Read(entry, "METHOD-ID", kMaxId);
            if (method.id < 0) method.id = static_cast<int32_t>(methodId);
            if (method.transport.empty()) method.transport = transportOf(entry);
        }
    }
    if (const NanoXML* list = Child(element, "FIELD-DEPLOYMENTS")) {
        for (const NanoXML* entry : list->children) {
            if (entry->name != "SOMEIP-FIELD-DEPLOYMENT") continue;
            const NanoXML* ref = Child(entry, "FIELD-REF");
            if (ref != nullptr && Target(ref) == nullptr && service->hasInterface)
                Unresolved(entry, ref);
            CSomeIpField& field = Join(*service, service->fields, 'f', ref, ShortName(entry));
            const NanoXML* get = Child(entry, "GET");
            const NanoXML* set = Child(entry, "SET");
            const NanoXML* notifier = Child(entry, "NOTIFIER");
            if (get && field.getterId < 0)
                field.getterId = static_cast<int32_t>(values.Read(get, "METHOD-ID", kMaxId));
            if (set && field.setterId < 0)
                field.setterId = static_cast<int32_t>(values.Read(set, "METHOD-ID", kMaxId));
            if (notifier && field.notifierId < 0)
                field.notifierId = static_cast<int32_t>(values.Read(notifier, "EVENT-ID", kMaxId));
            for (const NanoXML* part : {get, set, notifier}) {
                if (part && field.transport.empty()) field.transport = transportOf(part);
            }
        }
    }
    if (const NanoXML* list = Child(element, "EVENT-GROUPS")) {
        for (const NanoXML* entry : list->children) {
            if (entry->name != "SOMEIP-EVENT-GROUP") continue;
            auto group = std::make_unique<CSomeIpEventGroup>();
            group->name = ShortName(entry);
            group->id = static_cast<int32_t>(values.Read(entry, "EVENT-GROUP-ID", kMaxId));
            if (const NanoXML* refs = Child(entry, "EVENT-REFS")) {
                for (const NanoXML* ref : refs->children) {
                    if (ref->name.empty()) continue;
                    const NanoXML* target = Target(ref);
                    group->events.push_back(target ? ShortName(target)
                                                   : LastPathComponent(Text(ref)));
                }
            }
            service->eventGroups.push_back(std::move(group));
        }
    }
    ++model_.counts[kSomeIpCountServiceDeployments];
}

void ServiceReader::ReadTiming(CSomeIpInstance& instance, const NanoXML* config, Values& values) {
    if (config == nullptr) return;
    instance.hasTiming = true;
    auto real = [&](const NanoXML* node, std::string_view name, double& field) {
        if (const NanoXML* child = Child(node, name))
            field = std::strtod(Text(child).c_str(), nullptr);
    };
    const NanoXML* initial =
        Child(config, instance.role == 2 ? "INITIAL-OFFER-BEHAVIOR" : "INITIAL-FIND-BEHAVIOR");
    real(initial, "INITIAL-DELAY-MAX-VALUE", instance.initialDelayMax);
    real(initial, "INITIAL-DELAY-MIN-VALUE", instance.initialDelayMin);
    real(initial, "INITIAL-REPETITIONS-BASE-DELAY", instance.repetitionsBaseDelay);
    const int64_t repetitions = values.Read(initial, "INITIAL-REPETITIONS-MAX", INT32_MAX);
    if (repetitions >= 0) instance.repetitionsMax = static_cast<int32_t>(repetitions);
    const int64_t ttl = values.Read(
        config, instance.role == 2 ? "SERVICE-OFFER-TIME-TO-LIVE" : "SERVICE-FIND-TIME-TO-LIVE",
        0xFFFFFFFF);
    if (ttl >= 0) instance.timeToLive = static_cast<uint32_t>(ttl);
    real(config, instance.role == 2 ? "OFFER-CYCLIC-DELAY" : "FIND-CYCLIC-DELAY",
         instance.cyclicDelay);
    if (const NanoXML* delay = Child(config, "REQUEST-RESPONSE-DELAY")) {
        real(delay, "MIN-VALUE", instance.requestResponseDelayMin);
        real(delay, "MAX-VALUE", instance.requestResponseDelayMax);
    }
}

void ServiceReader::ReadInstance(const NanoXML* element) {
    const bool provided = element->name.rfind("PROVIDED", 0) == 0;
    auto instance = std::make_unique<CSomeIpInstance>();
    instance->source = element;
    instance->name = ShortName(element);
    instance->role = provided ? 2 : 1;
    if (instance->name.empty()) {
        messages_ += "WARNING. Service instance " + element->name + " without a name.\r\n";
    }
    CSomeIpService* service = nullptr;
    const NanoXML* reference = Child(element, "SERVICE-INTERFACE-DEPLOYMENT-REF");
    if (const NanoXML* target = Target(reference)) {
        auto found = byDeployment_.find(target);
        if (found != byDeployment_.end()) service = found->second;
        instance->deployment = ShortName(target);
    }
    if (service == nullptr && reference != nullptr) {
        Unresolved(element, reference);
        const std::string path = Text(reference);
        instance->deployment = LastPathComponent(path);
        service = ServiceByKey("deployment:" + path, instance->deployment);
    }
    if (service == nullptr) {
        if (const NanoXML* inlined = Child(element, "SERVICE-INTERFACE-DEPLOYMENT")) {
            // A deployment written inside the instance, as some hand-written manifests do.
            std::string name = ShortName(inlined);
            if (name.empty()) name = instance->name;
            if (name.empty())
                name = "Service_" + Trimmed(ChildText(inlined, "SERVICE-INTERFACE-ID"));
            service = NewService(name);
            ReadDeployment(inlined, service);
            instance->deployment = service->deployments.back();
        } else {
            messages_ += element->name + " " + instance->name + " names no deployment.\r\n";
            service = ServiceByKey("instance:" + instance->name, instance->name);
        }
    }
    Values values(service->name, messages_);
    instance->instanceId = static_cast<int32_t>(
        values.Read(element, provided ? "SERVICE-INSTANCE-ID" : "REQUIRED-SERVICE-INSTANCE-ID",
                    kMaxId, kMaxId));
    const char* groupsName = provided ? "PROVIDED-EVENT-GROUPS" : "REQUIRED-EVENT-GROUPS";
    if (const NanoXML* groups = Child(element, groupsName)) {
        for (const NanoXML* group : groups->children) {
            if (group->name.empty()) continue;
            const NanoXML* ref = Child(group, "EVENT-GROUP-REF");
            const NanoXML* target = Target(ref);
            instance->eventGroups.push_back(target ? ShortName(target)
                                            : ref  ? LastPathComponent(Text(ref))
                                                   : ShortName(group));
        }
    }
    const char* configName = provided ? "SD-SERVER-CONFIG" : "SD-CLIENT-CONFIG";
    const NanoXML* config = Child(element, configName);
    if (config == nullptr) {
        const NanoXML* configRef =
            Child(element, provided ? "SD-SERVER-CONFIG-REF" : "SD-CLIENT-CONFIG-REF");
        config = Target(configRef);
        if (configRef != nullptr && config == nullptr) Unresolved(element, configRef);
    }
    ReadTiming(*instance, config, values);
    instances_.emplace(element, instance.get());
    service->instances.push_back(std::move(instance));
    ++model_.counts[kSomeIpCountServiceInstances];
}

void ServiceReader::AddProvider(CSomeIpInstance& instance, const std::string& name,
                                const char* kind) {
    for (const auto& provider : instance.providers) {
        if (provider.name == name && provider.kind == kind) return;
    }
    instance.providers.push_back({name, kind});
}

void ServiceReader::ReadClassicInstance(const NanoXML* element) {
    const bool provided = element->name == "PROVIDED-SERVICE-INSTANCE";
    auto instance = std::make_unique<CSomeIpInstance>();
    instance->source = element;
    instance->name = ShortName(element);
    instance->role = provided ? 2 : 1;
    Values values(instance->name, messages_);
    int64_t serviceId = values.Read(element, "SERVICE-IDENTIFIER", kMaxId);
    if (serviceId < 0 && !provided) {
        const NanoXML* offered = Target(Child(element, "PROVIDED-SERVICE-INSTANCE-REF"));
        serviceId = values.Read(offered, "SERVICE-IDENTIFIER", kMaxId);
    }
    CSomeIpService*& service = classicById_[serviceId];
    if (service == nullptr || serviceId < 0) {
        service = NewService(instance->name);
        service->classic = true;
        service->serviceId = static_cast<int32_t>(serviceId);
    }
    if (provided && service->majorVersion < 0) {
        service->majorVersion = static_cast<int32_t>(values.Read(element, "MAJOR-VERSION", 0xFF));
        service->minorVersion = values.Read(element, "MINOR-VERSION", 0xFFFFFFFF);
    }
    instance->instanceId =
        static_cast<int32_t>(values.Read(element, "INSTANCE-IDENTIFIER", kMaxId, kMaxId));
    const char* listName = provided ? "EVENT-HANDLERS" : "CONSUMED-EVENT-GROUPS";
    if (const NanoXML* list = Child(element, listName)) {
        for (const NanoXML* entry : list->children) {
            if (entry->name.empty()) continue;
            const int64_t groupId = values.Read(entry, "EVENT-GROUP-IDENTIFIER", kMaxId);
            const std::string groupName = ShortName(entry);
            instance->eventGroups.push_back(groupName);
            if (groupId >= 0 && !classicGroups_.emplace(service, groupId).second) continue;
            auto group = std::make_unique<CSomeIpEventGroup>();
            group->name = groupName;
            group->id = static_cast<int32_t>(groupId);
            service->eventGroups.push_back(std::move(group));
        }
    }
    const NanoXML* config = Child(element, provided ? "SD-SERVER-CONFIG" : "SD-CLIENT-CONFIG");
    if (config == nullptr)
        config = Target(Child(element, provided ? "SD-SERVER-CONFIG-REF" : "SD-CLIENT-CONFIG-REF"));
    ReadTiming(*instance, config, values);
    // Placement: the ECU of the connector the enclosing socket address names, else the socket.
    if (const NanoXML* socket = Ancestor(element, "SOCKET-ADDRESS")) {
        const NanoXML* connector = Target(Child(socket, "CONNECTOR-REF"));
        if (const NanoXML* ecu = Ancestor(connector, "ECU-INSTANCE")) {
            AddProvider(*instance, ShortName(ecu), "ecu");
        } else {
            AddProvider(*instance, ShortName(socket), "socket");
        }
    } else if (const NanoXML* bundle = Ancestor(element, "SOCKET-CONNECTION-BUNDLE")) {
        AddProvider(*instance, ShortName(bundle), "socket");
    }
    service->instances.push_back(std::move(instance));
    ++model_.counts[kSomeIpCountServiceInstances];
}

void ServiceReader::ReadMapping(const NanoXML* element) {
    std::vector<const NanoXML*> references;
    if (const NanoXML* refs = Child(element, "SERVICE-INSTANCE-REFS")) {
        for (const NanoXML* ref : refs->children) {
            if (!ref->name.empty()) references.push_back(ref);
        }
    }
    if (const NanoXML* ref = Child(element, "SERVICE-INSTANCE-REF")) references.push_back(ref);
    std::string provider;
    const char* kind = "machine";
    if (const NanoXML* process = Target(Child(element, "PROCESS-REF"))) {
        provider = ShortName(process);
        kind = "process";
    } else if (const NanoXML* connector = Target(Child(element, "COMMUNICATION-CONNECTOR-REF"))) {
        if (const NanoXML* machine = Ancestor(connector, "MACHINE")) {
            provider = ShortName(machine);
        } else if (const NanoXML* ecu = Ancestor(connector, "ECU-INSTANCE")) {
            provider = ShortName(ecu);
            kind = "ecu";
        }
    } else if (const NanoXML* machine = Target(Child(element, "MACHINE-REF"))) {
        provider = ShortName(machine);
    }
    if (provider.empty()) {
        messages_ += element->name + " " + ShortName(element) + " names no machine or process.\r\n";
        return;
    }
    for (const NanoXML* ref : references) {
        auto found = instances_.find(Target(ref));
        if (found == instances_.end()) {
            Unresolved(element, ref);
            continue;
        }
        AddProvider(*found->second, provider, kind);
    }
}

void ServiceReader::CheckDuplicateIds() {
    for (const auto& service : model_.services) {
        // Methods, getters and setters share one id space; events and notifiers another.
        std::unordered_map<int32_t, std::string> methodIds;
        std::unordered_map<int32_t, std::string> eventIds;
        std::unordered_map<int32_t, std::string> groupIds;
        auto note = [&](std::unordered_map<int32_t, std::string>& seen, int32_t id,
                        const std::string& what) {
            if (id < 0) return;
            auto [it, fresh] = seen.emplace(id, what);
            if (!fresh) {
                messages_ += "WARNING. Id " + std::to_string(id) + " is used twice in service " +
                             service->name + ": " + it->second + " and " + what + ".\r\n";
            }
        };
        for (const auto& method : service->methods) note(methodIds, method->id, method->name);
        for (const auto& field : service->fields) {
            note(methodIds, field->getterId, field->name + " getter");
            note(methodIds, field->setterId, field->name + " setter");
            note(eventIds, field->notifierId, field->name + " notifier");
        }
        for (const auto& event : service->events) note(eventIds, event->id, event->name);
        for (const auto& group : service->eventGroups) note(groupIds, group->id, group->name);
    }
}

// Every element below a Classic cluster that is a provided or consumed service instance.
void CollectClassicInstances(const NanoXML* cluster, std::vector<const NanoXML*>& out) {
    std::vector<const NanoXML*> stack{cluster};
    while (!stack.empty()) {
        const NanoXML* node = stack.back();
        stack.pop_back();
        if (node != cluster && KindOf(node->name) == ElementKind::kClassicInstance) {
            out.push_back(node);
            continue;
        }
        stack.insert(stack.end(), node->children.rbegin(), node->children.rend());
    }
}

}  // namespace

DocumentElements CollectServiceElements(const NanoXML* root) {
    DocumentElements result;
    arxml::ForEachPackageElement(root, [&result](const NanoXML* element) {
        switch (KindOf(element->name)) {
            case ElementKind::kType:
                result.types.push_back(element);
                break;
            case ElementKind::kInterface:
                result.interfaces.push_back(element);
                break;
            case ElementKind::kDeployment:
                result.deployments.push_back(element);
                break;
            case ElementKind::kInstance:
                result.instances.push_back(element);
                break;
            case ElementKind::kClassicInstance:
                result.classicInstances.push_back(element);
                break;
            case ElementKind::kMapping:
                result.mappings.push_back(element);
                break;
            case ElementKind::kEthernetCluster:
                result.ethernetClusters.push_back(element);
                break;
            case ElementKind::kNotHeld:
                result.notHeld.push_back(element);
                break;
            case ElementKind::kOther:
                break;
        }
    });
    return result;
}

CSomeIpService* DocumentModel::Find(const char* name) const {
    if (name == nullptr) return nullptr;
    for (const auto& service : services) {
        if (service->name == name) return service.get();
    }
    return nullptr;
}

std::string ReadWholeDocument(const NanoXML* root, DocumentModel& model) {
    model = DocumentModel();
    std::string messages;
    if (root == nullptr) return messages;
    DocumentElements elements = CollectServiceElements(root);
    for (const NanoXML* cluster : elements.ethernetClusters) {
        CollectClassicInstances(cluster, elements.classicInstances);
    }
    TypeTable types(model, messages);
    types.Read(elements.types);
    ServiceReader reader(model, types, messages);
    for (const NanoXML* element : elements.interfaces) reader.ReadInterface(element);
    for (const NanoXML* element : elements.deployments) {
        reader.ReadDeployment(element, reader.ServiceOfDeployment(element));
    }
    for (const NanoXML* element : elements.instances) reader.ReadInstance(element);
    for (const NanoXML* element : elements.classicInstances) reader.ReadClassicInstance(element);
    for (const NanoXML* element : elements.mappings) reader.ReadMapping(element);
    reader.CheckDuplicateIds();
    for (const NanoXML* element : elements.notHeld) {
        messages += element->name + " not read: " + ShortName(element) + ".\r\n";
    }
    model.counts[kSomeIpCountDataTypes] = model.types.size();
    for (const auto& service : model.services) {
        model.counts[kSomeIpCountMethods] += service->methods.size();
        model.counts[kSomeIpCountEvents] += service->events.size();
        model.counts[kSomeIpCountFields] += service->fields.size();
        model.counts[kSomeIpCountEventGroups] += service->eventGroups.size();
    }
    return messages;
}

}  // namespace qm::someip
