#include "diag/odx_variants.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <unordered_map>
#include <unordered_set>

#include "diag/odx_services.h"
#include "platform/clock.h"
#include "quillmere/xml.h"
#include "xml/text.h"

namespace qm::diag {

namespace {

// Deeper inheritance than this is a reference cycle or a hostile file.
constexpr int kMaxInheritanceDepth = 64;

class ServiceCollector {
  public:
    explicit ServiceCollector(OdxContext& context) : context_(context) {}

    void Collect(NanoXML* layer, int depth) {
        if (layer == nullptr) return;
        if (depth > kMaxInheritanceDepth || onPath_.count(layer) != 0) {
            context_.LogOnce("ODX Warning: PARENT-REFS cycle at " + Quoted(ShortNameOf(layer)) +
                             ", not followed\r\n");
            return;
        }
        onPath_.insert(layer);
        AddOwnServices(layer);
        if (NanoXML* parents = Child(layer, "PARENT-REFS")) {
            for (NanoXML* reference : parents->children) {
                const std::string_view kind = AttributeOf(reference, "xsi:type");
                if (kind == "ECU-SHARED-DATA-REF" && !services_.empty()) continue;
                Collect(LinkEnd(reference->link), depth + 1);
            }
        }
        onPath_.erase(layer);
    }

    // The collected services without the later namesakes of an earlier one.
    std::vector<NanoXML*> Unique() const {
        std::vector<NanoXML*> unique;
        unique.reserve(services_.size());
        std::unordered_set<std::string_view> names;
        names.reserve(services_.size());
        for (NanoXML* service : services_) {
            if (names.insert(ShortNameOf(service)).second) unique.push_back(service);
        }
        return unique;
    }

  private:
    void AddOwnServices(NanoXML* layer) {
        NanoXML* comms = Child(layer, "DIAG-COMMS");
        if (comms == nullptr) return;
        for (NanoXML* child : comms->children) {
            NanoXML* end = LinkEnd(child);
            if (end != nullptr && end->name == "DIAG-SERVICE") services_.push_back(end);
        }
    }

    OdxContext& context_;
    std::vector<NanoXML*> services_;
    std::unordered_set<const NanoXML*> onPath_;
};

// ODX 2.2 value inheritance: a layer inherits only from layers of lower priority, and where
// two parents offer one short name the parent of the higher priority wins.
int InheritancePriority(std::string_view layerKind) {
    if (layerKind == "PROTOCOL") return 1;
    if (layerKind == "FUNCTIONAL-GROUP") return 2;
    if (layerKind == "BASE-VARIANT") return 3;
    if (layerKind == "ECU-VARIANT") return 4;
    return 0;  // ECU-SHARED-DATA
}

// The short names a parent reference's NOT-INHERITED-* list names ("NOT-INHERITED-DIAG-COMMS"
// holds "NOT-INHERITED-DIAG-COMM" entries with a "DIAG-COMM-SNREF", and so on).
std::unordered_set<std::string_view> NotInherited(NanoXML* parentRef, std::string_view list) {
    std::unordered_set<std::string_view> names;
    NanoXML* entries = Child(parentRef, list);
    if (entries == nullptr) return names;
    for (NanoXML* entry : entries->children) {
        for (NanoXML* reference : entry->children) {
            const std::string_view name = AttributeOf(reference, "SHORT-NAME");
            if (!name.empty()) names.insert(name);
        }
    }
    return names;
}

bool IsDiagComm(const NanoXML* element) {
    return element != nullptr &&
           (element->name == "DIAG-SERVICE" || element->name == "SINGLE-ECU-JOB");
}

// The diagnostic communications (services and jobs) a layer has after value inheritance, in
// the order a reader of ODX 2.2 lists them: inherited ones first (parents of higher priority
// first, each in its own order), then the layer's own, which override namesakes in place.
class ValueInheritance {
  public:
    explicit ValueInheritance(OdxContext& context) : context_(context) {}

    const std::vector<NanoXML*>& Available(NanoXML* layer, int depth) {
        static const std::vector<NanoXML*> kNone;
        const auto known = context_.availableComms.find(layer);
        if (known != context_.availableComms.end()) return known->second;
        if (depth > kMaxInheritanceDepth || onPath_.count(layer) != 0) {
            context_.LogOnce("ODX Warning: PARENT-REFS cycle at " + Quoted(ShortNameOf(layer)) +
                             ", not followed\r\n");
            return kNone;
        }
        onPath_.insert(layer);
        Ordered result = Merge(
            layer, "NOT-INHERITED-DIAG-COMMS",
            [&](NanoXML* parent) -> const std::vector<NanoXML*>& {
                return Available(parent, depth + 1);
            },
            [&](Ordered& merged) {
                NanoXML* comms = Child(layer, "DIAG-COMMS");
                if (comms == nullptr) return;
                for (NanoXML* child : comms->children) {
                    NanoXML* end = LinkEnd(child);
                    if (IsDiagComm(end)) merged.Own(ShortNameOf(end), end);
                }
            });
        onPath_.erase(layer);
        return context_.availableComms[layer] = std::move(result.comms);
    }

    // The layer's global negative responses after inheritance, ordered as its services.
    std::vector<NanoXML*> GlobalNegativeResponses(NanoXML* layer, int depth) {
        if (depth > kMaxInheritanceDepth || onPath_.count(layer) != 0) return {};
        onPath_.insert(layer);
        Ordered result = Merge(
            layer, "NOT-INHERITED-GLOBAL-NEG-RESPONSES",
            [&](NanoXML* parent) { return GlobalNegativeResponses(parent, depth + 1); },
            [&](Ordered& merged) {
                NanoXML* own = Child(layer, "GLOBAL-NEG-RESPONSES");
                if (own == nullptr) return;
                for (NanoXML* response : own->children) {
                    if (response->name == "GLOBAL-NEG-RESPONSE")
                        merged.Own(ShortNameOf(response), response);
                }
            });
        onPath_.erase(layer);
        return std::move(result.comms);
    }

    // The DTC-DOPs a layer has after value inheritance: its own (anywhere below it) and its
    // parents' that "NOT-INHERITED-DOPS" does not name.
    std::vector<NanoXML*> DtcDops(NanoXML* layer, int depth) {
        if (depth > kMaxInheritanceDepth || onPath_.count(layer) != 0) return {};
        onPath_.insert(layer);
        Ordered result = Merge(
            layer, "NOT-INHERITED-DOPS",
            [&](NanoXML* parent) { return DtcDops(parent, depth + 1); },
            [&](Ordered& merged) {
                std::vector<NanoXML*> own;
                layer->FindAll(own, "DTC-DOP", "", "", "", "", static_cast<uint8_t>(-1));
                for (NanoXML* dop : own) merged.Own(ShortNameOf(dop), dop);
            });
        onPath_.erase(layer);
        return std::move(result.comms);
    }

  private:
    struct Ordered {
        std::vector<NanoXML*> comms;
        std::vector<int> priorities;
        std::unordered_map<std::string_view, size_t> at;
        void Inherit(std::string_view name, NanoXML* comm, int priority) {
            const auto [it, added] = at.try_emplace(name, comms.size());
            if (added) {
                comms.push_back(comm);
                priorities.push_back(priority);
            } else if (priority > priorities[it->second]) {
                comms[it->second] = comm;
                priorities[it->second] = priority;
            }
        }
        void Own(std::string_view name, NanoXML* comm) {
            const auto [it, added] = at.try_emplace(name, comms.size());
            if (added) {
                comms.push_back(comm);
                priorities.push_back(INT32_MAX);
            } else {
                comms[it->second] = comm;
                priorities[it->second] = INT32_MAX;
            }
        }
    };

    // One step of inheritance: what each parent offers, less what its reference excludes, by
    // priority; then the layer's own elements (ownOf), which override namesakes in place.
    template <typename FromParent, typename OwnOf>
    Ordered Merge(NanoXML* layer, std::string_view notInherited, FromParent fromParent,
                  OwnOf ownOf) {
        Ordered result;
        for (NanoXML* parentRef : ParentsByPriority(layer)) {
            NanoXML* parent = LinkEnd(parentRef->link);
            if (parent == nullptr) continue;
            const int priority = InheritancePriority(parent->name);
            const auto excluded = NotInherited(parentRef, notInherited);
            for (NanoXML* element : fromParent(parent)) {
                const std::string_view name = ShortNameOf(element);
                if (excluded.count(name) == 0) result.Inherit(name, element, priority);
            }
        }
        ownOf(result);
        return result;
    }

    static std::vector<NanoXML*> ParentsByPriority(NanoXML* layer) {
        std::vector<NanoXML*> parents;
        if (NanoXML* list = Child(layer, "PARENT-REFS")) {
            for (NanoXML* reference : list->children) {
                if (reference->name == "PARENT-REF") parents.push_back(reference);
            }
        }
        std::stable_sort(parents.begin(), parents.end(), [](NanoXML* a, NanoXML* b) {
            const NanoXML* left = LinkEnd(a->link);
            const NanoXML* right = LinkEnd(b->link);
            return (left ? InheritancePriority(left->name) : -1) >
                   (right ? InheritancePriority(right->name) : -1);
        });
        return parents;
    }

    OdxContext& context_;
    std::unordered_set<const NanoXML*> onPath_;
};

// The functional class a service belongs to: its first referenced "FUNCT-CLASS".
NanoXML* FunctionalClassOf(NanoXML* service) {
    NanoXML* references = Child(service, "FUNCT-CLASS-REFS");
    if (references == nullptr || references->children.empty()) return nullptr;
    NanoXML* target = LinkEnd(references->children.front());
    return target != nullptr && target->name == "FUNCT-CLASS" ? target : nullptr;
}

std::string ClassNameOf(NanoXML* functClass) {
    if (functClass == nullptr) return "Others";
    if (NanoXML* longName = Child(functClass, "LONG-NAME")) return longName->GetText();
    if (NanoXML* shortName = Child(functClass, "SHORT-NAME")) return shortName->GetText();
    return "Others";
}

std::vector<NanoXML*> ServicesOf(OdxContext& context, NanoXML* variant) {
    if (!context.asWritten) return CollectOdxServices(context, variant);
    std::vector<NanoXML*> services;
    for (NanoXML* comm : ValueInheritance(context).Available(variant, 0)) {
        if (comm->name == "DIAG-SERVICE") services.push_back(comm);
    }
    return services;
}

void AddServices(OdxContext& context, NanoXML* variant, CECU& ecu) {
    std::unordered_map<std::string, CFunctionalClass*> classes;
    for (NanoXML* element : ServicesOf(context, variant)) {
        NanoXML* functClass = FunctionalClassOf(element);
        std::string className = ClassNameOf(functClass);
        if (context.asWritten) className = DecodeCharacterReferences(std::move(className));
        std::unique_ptr<CUDSService> service = BuildOdxService(context, element);
        if (!service) continue;
        CFunctionalClass*& cls = classes[className];
        if (cls == nullptr) {
            auto created = std::make_unique<CFunctionalClass>();
            created->name = className;
            if (functClass != nullptr) {
                created->xmlLocation = functClass->GetAttribute("ID");
                created->odxId = created->xmlLocation;
            }
            cls = created.get();
            ecu.functionalClasses.push_back(std::move(created));
        }
        cls->services.push_back(std::move(service));
    }
    auto& list = ecu.functionalClasses;
    const auto others = std::find_if(list.begin(), list.end(),
                                     [](const auto& cls) { return cls->name == "Others"; });
    if (others != list.end()) std::rotate(others, others + 1, list.end());
}

// The DTCs of every "DTCS" list below the variant. Read as written, a list's "DTC-REF"s count
// as the DTCs they name (fault memory shared by several layers lists its DTCs once), and the
// DTC-DOPs the variant inherits bring theirs; each DTC once.
void AddDtcs(OdxContext& context, NanoXML* variant, CECU& ecu) {
    std::vector<NanoXML*> lists;
    variant->FindAll(lists, "DTCS", "", "", "", "", static_cast<uint8_t>(-1));
    if (!context.asWritten) {
        for (NanoXML* list : lists) {
            for (NanoXML* child : list->children) {
                if (child->name == "DTC") ecu.dtcs.push_back(BuildOdxDtc(child));
            }
        }
        return;
    }
    for (NanoXML* dop : ValueInheritance(context).DtcDops(variant, 0)) {
        if (NanoXML* list = Child(dop, "DTCS")) lists.push_back(list);
    }
    std::unordered_set<const NanoXML*> taken;
    for (NanoXML* list : lists) {
        for (NanoXML* child : list->children) {
            NanoXML* dtc = child->name == "DTC-REF" ? LinkEnd(child) : child;
            if (dtc != nullptr && dtc->name == "DTC" && taken.insert(dtc).second)
                ecu.dtcs.push_back(BuildOdxDtc(dtc));
        }
    }
}

uint32_t DecimalText(NanoXML* element, std::string_view name) {
    int64_t value = 0;
    if (!ParseInteger(TextOf(element, name), value)) return 0;
    return static_cast<uint32_t>(std::clamp<int64_t>(value, 0, UINT32_MAX));
}

}  // namespace

std::vector<NanoXML*> CollectOdxServices(OdxContext& context, NanoXML* layer) {
    ServiceCollector collector(context);
    collector.Collect(layer, 0);
    return collector.Unique();
}

std::unique_ptr<CDTC> BuildOdxDtc(NanoXML* element) {
    auto dtc = std::make_unique<CDTC>();
    dtc->name = TextOf(element, "SHORT-NAME");
    dtc->value = DecimalText(element, "TROUBLE-CODE");
    dtc->disp = TextOf(element, "DISPLAY-TROUBLE-CODE");
    dtc->text = TextOf(element, "TEXT");
    dtc->level = DecimalText(element, "LEVEL");
    if (NanoXML* groups = Child(element, "SDGS")) {
        for (NanoXML* group : groups->children) {
            // The caption names the group (its SI when it has none); its SD texts describe it.
            std::string name(ShortNameOf(Child(group, "SDG-CAPTION")));
            if (name.empty()) name = group->GetAttribute("SI");
            if (name.empty()) name = group->GetAttribute("GID");
            std::string descr;
            for (NanoXML* data : group->children) {
                if (data->name != "SD") continue;
                if (!descr.empty()) descr += "; ";
                descr += data->GetText();
            }
            if (descr.empty()) descr = group->GetText();
            dtc->sdg.push_back(std::make_unique<CDTCStatusFlag>(std::move(name), std::move(descr)));
        }
    }
    return dtc;
}

std::unique_ptr<CECU> BuildOdxEcu(OdxContext& context, NanoXML* variant) {
    auto ecu = std::make_unique<CECU>();
    ecu->isJobFile = variant->name == "BASE-VARIANT" ? 1 : 0;
    if (context.asWritten) ecu->layerKind = variant->name;
    ecu->xmlLocation = variant->GetAttribute("ID");
    ecu->shortName = NameText(context, variant, "SHORT-NAME");
    ecu->longName = NameText(context, variant, "LONG-NAME");
    const uint32_t start = platform::TickCount();
    AddServices(context, variant, *ecu);
    context.Log("Services collection time: " + FormatMilliseconds(start, platform::TickCount()) +
                "\r\n");
    AddDtcs(context, variant, *ecu);
    if (context.asWritten) {
        for (NanoXML* response : ValueInheritance(context).GlobalNegativeResponses(variant, 0))
            ecu->globalNegativeResponses.push_back(BuildOdxFunction(context, response, "NEG"));
    }
    return ecu;
}

}  // namespace qm::diag
