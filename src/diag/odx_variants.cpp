#include "diag/odx_variants.h"

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

void AddServices(OdxContext& context, NanoXML* variant, CECU& ecu) {
    ServiceCollector collector(context);
    collector.Collect(variant, 0);
    std::unordered_map<std::string, CFunctionalClass*> classes;
    for (NanoXML* element : collector.Unique()) {
        NanoXML* functClass = FunctionalClassOf(element);
        const std::string className = ClassNameOf(functClass);
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

void AddDtcs(NanoXML* variant, CECU& ecu) {
    std::vector<NanoXML*> lists;
    variant->FindAll(lists, "DTCS", "", "", "", "", static_cast<uint8_t>(-1));
    for (NanoXML* list : lists) {
        for (NanoXML* child : list->children) {
            if (child->name == "DTC") ecu.dtcs.push_back(BuildOdxDtc(child));
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
    ecu->xmlLocation = variant->GetAttribute("ID");
    ecu->shortName = TextOf(variant, "SHORT-NAME");
    ecu->longName = TextOf(variant, "LONG-NAME");
    const uint32_t start = platform::TickCount();
    AddServices(context, variant, *ecu);
    context.Log("Services collection time: " + FormatMilliseconds(start, platform::TickCount()) +
                "\r\n");
    AddDtcs(variant, *ecu);
    return ecu;
}

}  // namespace qm::diag
