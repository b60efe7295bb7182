#pragma once
// The service model of whole-document reading: services joined from their interface, SOME/IP
// deployments and instances, with methods, events, fields, event groups and the data types
// their arguments and events use. Plain data behind the ISomeIp… interfaces; the readers fill
// the fields directly.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillmere/someip.h"
#include "quillmere/xml.h"

namespace qm::someip {

template <class T>
T* ItemAt(const std::vector<std::unique_ptr<T>>& items, uint64_t index) {
    return index < items.size() ? items[index].get() : nullptr;
}
inline const char* TextOf(const std::vector<std::string>& items, uint64_t index) {
    return index < items.size() ? items[index].c_str() : nullptr;
}

class CSomeIpType : public ISomeIpType {
  public:
    struct Member {
        std::string name;
        CSomeIpType* type = nullptr;
    };
    struct Enumerator {
        std::string name;
        int64_t value = 0;
    };

    const char* GetName() override { return name.c_str(); }
    const char* GetPath() override { return path.c_str(); }
    int32_t GetKind() override { return kind; }
    const char* GetCppType() override { return cppType.c_str(); }
    ISomeIpType* GetElementType() override { return element; }
    uint64_t GetArraySize() override { return arraySize; }
    uint64_t GetMemberCount() override { return members.size(); }
    const char* GetMemberName(uint64_t index) override {
        return index < members.size() ? members[index].name.c_str() : nullptr;
    }
    ISomeIpType* GetMemberType(uint64_t index) override {
        return index < members.size() ? members[index].type : nullptr;
    }
    uint64_t GetEnumeratorCount() override { return enumerators.size(); }
    const char* GetEnumeratorName(uint64_t index) override {
        return index < enumerators.size() ? enumerators[index].name.c_str() : nullptr;
    }
    int64_t GetEnumeratorValue(uint64_t index) override {
        return index < enumerators.size() ? enumerators[index].value : 0;
    }

    std::string name;
    std::string path;
    int32_t kind = kSomeIpTypeUnresolved;
    // How a use of the type is written in C++: a primitive's own type, otherwise the name the
    // header declares (set by the header's naming pass).
    std::string cppType;
    CSomeIpType* element = nullptr;
    uint64_t arraySize = 0;
    std::vector<Member> members;
    std::vector<Enumerator> enumerators;
    // The element the type was read from (null for a placeholder of an unresolved reference).
    const NanoXML* source = nullptr;
};

class CSomeIpMethod : public ISomeIpMethod {
  public:
    struct Argument {
        std::string name;
        std::string direction;  // "in", "out", "inout"
        CSomeIpType* type = nullptr;
    };

    const char* GetName() override { return name.c_str(); }
    int32_t GetId() override { return id; }
    bool IsFireAndForget() override { return fireAndForget; }
    const char* GetTransportProtocol() override { return transport.c_str(); }
    uint64_t GetArgumentCount() override { return arguments.size(); }
    const char* GetArgumentName(uint64_t index) override {
        return index < arguments.size() ? arguments[index].name.c_str() : nullptr;
    }
    const char* GetArgumentDirection(uint64_t index) override {
        return index < arguments.size() ? arguments[index].direction.c_str() : nullptr;
    }
    ISomeIpType* GetArgumentType(uint64_t index) override {
        return index < arguments.size() ? arguments[index].type : nullptr;
    }

    std::string name;
    int32_t id = -1;
    bool fireAndForget = false;
    std::string transport;
    std::vector<Argument> arguments;
    const NanoXML* operation = nullptr;  // the interface's CLIENT-SERVER-OPERATION
};

class CSomeIpEvent : public ISomeIpEvent {
  public:
    const char* GetName() override { return name.c_str(); }
    int32_t GetId() override { return id; }
    const char* GetTransportProtocol() override { return transport.c_str(); }
    ISomeIpType* GetType() override { return type; }

    std::string name;
    int32_t id = -1;
    std::string transport;
    CSomeIpType* type = nullptr;
    const NanoXML* prototype = nullptr;  // the interface's VARIABLE-DATA-PROTOTYPE
};

class CSomeIpField : public ISomeIpField {
  public:
    const char* GetName() override { return name.c_str(); }
    ISomeIpType* GetType() override { return type; }
    int32_t GetGetterId() override { return getterId; }
    int32_t GetSetterId() override { return setterId; }
    int32_t GetNotifierId() override { return notifierId; }
    const char* GetTransportProtocol() override { return transport.c_str(); }

    std::string name;
    CSomeIpType* type = nullptr;
    int32_t getterId = -1;
    int32_t setterId = -1;
    int32_t notifierId = -1;
    std::string transport;
    const NanoXML* prototype = nullptr;  // the interface's FIELD
};

class CSomeIpEventGroup : public ISomeIpEventGroup {
  public:
    const char* GetName() override { return name.c_str(); }
    int32_t GetId() override { return id; }
    uint64_t GetEventCount() override { return events.size(); }
    const char* GetEventName(uint64_t index) override { return TextOf(events, index); }

    std::string name;
    int32_t id = -1;
    std::vector<std::string> events;
};

class CSomeIpInstance : public ISomeIpInstance {
  public:
    struct Provider {
        std::string name;
        std::string kind;  // "machine", "process", "ecu", "socket"
    };

    const char* GetName() override { return name.c_str(); }
    uint32_t GetRole() override { return role; }
    const char* GetRoleText() override { return role == 2 ? "provided" : "required"; }
    int32_t GetInstanceId() override { return instanceId; }
    const char* GetDeploymentName() override { return deployment.c_str(); }
    uint64_t GetProviderCount() override { return providers.size(); }
    const char* GetProviderName(uint64_t index) override {
        return index < providers.size() ? providers[index].name.c_str() : nullptr;
    }
    const char* GetProviderKind(uint64_t index) override {
        return index < providers.size() ? providers[index].kind.c_str() : nullptr;
    }
    bool HasDiscoveryTiming() override { return hasTiming; }
    uint32_t GetTimeToLive() override { return timeToLive; }
    double GetInitialDelayMin() override { return initialDelayMin; }
    double GetInitialDelayMax() override { return initialDelayMax; }
    double GetInitialRepetitionsBaseDelay() override { return repetitionsBaseDelay; }
    int32_t GetInitialRepetitionsMax() override { return repetitionsMax; }
    double GetCyclicDelay() override { return cyclicDelay; }
    double GetRequestResponseDelayMin() override { return requestResponseDelayMin; }
    double GetRequestResponseDelayMax() override { return requestResponseDelayMax; }
    uint64_t GetEventGroupCount() override { return eventGroups.size(); }
    const char* GetEventGroupName(uint64_t index) override { return TextOf(eventGroups, index); }

    std::string name;
    uint32_t role = 0;
    int32_t instanceId = -1;
    std::string deployment;
    std::vector<Provider> providers;
    bool hasTiming = false;
    uint32_t timeToLive = 0;
    double initialDelayMin = 0;
    double initialDelayMax = 0;
    double repetitionsBaseDelay = 0;
    int32_t repetitionsMax = 0;
    double cyclicDelay = 0;
    double requestResponseDelayMin = 0;
    double requestResponseDelayMax = 0;
    std::vector<std::string> eventGroups;
    const NanoXML* source = nullptr;
};

class CSomeIpService : public ISomeIpService {
  public:
    const char* GetName() override { return name.c_str(); }
    const char* GetInterfacePath() override { return interfacePath.c_str(); }
    const char* GetPlatform() override { return classic ? "classic" : "adaptive"; }
    int32_t GetServiceId() override { return serviceId; }
    int32_t GetMajorVersion() override { return majorVersion; }
    int64_t GetMinorVersion() override { return minorVersion; }
    uint64_t GetDeploymentCount() override { return deployments.size(); }
    const char* GetDeploymentName(uint64_t index) override { return TextOf(deployments, index); }
    uint64_t GetMethodCount() override { return methods.size(); }
    ISomeIpMethod* GetMethod(uint64_t index) override { return ItemAt(methods, index); }
    uint64_t GetEventCount() override { return events.size(); }
    ISomeIpEvent* GetEvent(uint64_t index) override { return ItemAt(events, index); }
    uint64_t GetFieldCount() override { return fields.size(); }
    ISomeIpField* GetField(uint64_t index) override { return ItemAt(fields, index); }
    uint64_t GetEventGroupCount() override { return eventGroups.size(); }
    ISomeIpEventGroup* GetEventGroup(uint64_t index) override { return ItemAt(eventGroups, index); }
    uint64_t GetInstanceCount() override { return instances.size(); }
    ISomeIpInstance* GetInstance(uint64_t index) override { return ItemAt(instances, index); }

    // A service the header writes: one with an interface or a deployment.
    bool HasDescription() const { return hasInterface || !deployments.empty(); }

    std::string name;
    std::string interfacePath;
    bool hasInterface = false;
    bool classic = false;
    int32_t serviceId = -1;
    int32_t majorVersion = -1;
    int64_t minorVersion = -1;
    std::vector<std::string> deployments;
    std::vector<std::unique_ptr<CSomeIpMethod>> methods;
    std::vector<std::unique_ptr<CSomeIpEvent>> events;
    std::vector<std::unique_ptr<CSomeIpField>> fields;
    std::vector<std::unique_ptr<CSomeIpEventGroup>> eventGroups;
    std::vector<std::unique_ptr<CSomeIpInstance>> instances;
};

// Everything whole-document reading gave in the last load.
struct DocumentModel {
    std::vector<std::unique_ptr<CSomeIpService>> services;
    // Types read from type elements, in document order (what kSomeIpCountDataTypes counts).
    std::vector<std::unique_ptr<CSomeIpType>> types;
    // Types that stand for unresolved references and anonymous inline types, owned here.
    std::vector<std::unique_ptr<CSomeIpType>> helperTypes;
    uint64_t counts[8] = {};
    std::string header;

    CSomeIpService* Find(const char* name) const;
};

}  // namespace qm::someip
