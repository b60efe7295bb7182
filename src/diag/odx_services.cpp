#include "diag/odx_services.h"

#include <utility>

#include "diag/odx_parameters.h"
#include "quillmere/xml.h"

namespace qm::diag {

namespace {

// How deep a request is searched for its subfunction parameter, and how far up a constant
// may sit below the scale that gives its value.
constexpr uint64_t kSubfunctionSearchDepth = 20;
constexpr int kScaleSearchHeight = 15;

std::string DescriptionOf(NanoXML* element) {
    std::string desc;
    NanoXML* description = Child(element, "DESC");
    if (description == nullptr) return desc;
    for (NanoXML* paragraph : description->children) desc += "\r\n" + paragraph->GetText();
    return desc;
}

void AddResponses(OdxContext& context, NanoXML* element, const char* listName,
                  const char* referenceName, const char* type,
                  std::vector<std::unique_ptr<CUDSFunction>>& into) {
    NanoXML* list = Child(element, listName);
    if (list == nullptr) return;
    for (NanoXML* reference : list->children) {
        if (reference->name != referenceName) continue;
        NanoXML* message = LinkEnd(reference->link);
        if (message != nullptr) into.push_back(BuildOdxFunction(context, message, type));
    }
}

// The session a related service switches to: the lower limit of the text-table scale whose
// text is the physical constant of that service's subfunction parameter.
bool SessionOf(NanoXML* relatedService, uint8_t& session) {
    NanoXML* request = LinkEnd(Child(relatedService, "REQUEST-REF"));
    if (request == nullptr) return false;
    NanoXML* subfunction =
        request->FindNode("PARAM", "SEMANTIC", "SUBFUNCTION", kSubfunctionSearchDepth);
    if (subfunction == nullptr) return false;
    const std::string constant = TextOf(subfunction, "PHYS-CONSTANT-VALUE");
    NanoXML* dop = LinkEnd(Child(subfunction, "DOP-REF"));
    if (dop == nullptr || constant.empty()) return false;
    NanoXML* compuConst = dop->FindWithChild("COMPU-CONST", "VT", constant);
    NanoXML* scale = compuConst;
    for (int up = 0; scale != nullptr && scale->name != "COMPU-SCALE"; ++up) {
        scale = up < kScaleSearchHeight ? scale->parent : nullptr;
    }
    if (scale == nullptr) return false;
    uint32_t value = 0;
    if (!ParseLimit(TextOf(scale, "LOWER-LIMIT"), value)) return false;
    session = static_cast<uint8_t>(value);
    return true;
}

void ReadSessions(OdxContext& context, NanoXML* element, CUDSService& service) {
    NanoXML* related = Child(element, "RELATED-DIAG-COMM-REFS");
    if (related == nullptr) return;
    for (NanoXML* reference : related->children) {
        if (reference->name != "RELATED-DIAG-COMM-REF" || reference->children.empty()) continue;
        if (reference->children.front()->GetText() != "SESSION") continue;
        NanoXML* target = LinkEnd(reference->link);
        if (target == nullptr) continue;
        auto [known, added] = context.sessions.try_emplace(target, -1);
        uint8_t session = 0;
        if (added && SessionOf(target, session)) known->second = session;
        if (known->second >= 0) service.sessions.push_back(static_cast<uint8_t>(known->second));
    }
}

}  // namespace

namespace {

std::unique_ptr<CUDSFunction> ReadOdxFunction(OdxContext& context, NanoXML* message,
                                              const char* type) {
    auto function = std::make_unique<CUDSFunction>();
    function->type = RecentText(type);
    function->odxId = message->GetAttribute("ID");
    function->xmlLocation = function->odxId;
    function->name = RecentText(TextOf(message, "SHORT-NAME"));
    function->desc = RecentText(TextOf(message, "LONG-NAME"));
    ReadOdxParams(context, message, function->params, reinterpret_cast<uint64_t>(function.get()), 0,
                  OdxPlacement::kFromPredecessor);
    return function;
}

}  // namespace

std::unique_ptr<CUDSFunction> BuildOdxFunction(OdxContext& context, NanoXML* message,
                                               const char* type) {
    OdxContext::BuiltFunction& built = context.BuiltFunctionOf(message);
    if (built.function != nullptr && built.function->type == type &&
        built.budget <= context.parameterBudget) {
        context.parameterBudget -= built.budget;
        for (const std::string& line : built.warnings) context.Log(line);
        return std::make_unique<CUDSFunction>(*built.function);
    }
    std::vector<std::string> warnings;
    std::vector<std::string>* outer = std::exchange(context.recordedLines, &warnings);
    const size_t budgetBefore = context.parameterBudget;
    std::unique_ptr<CUDSFunction> function = ReadOdxFunction(context, message, type);
    context.recordedLines = outer;
    if (outer != nullptr) outer->insert(outer->end(), warnings.begin(), warnings.end());
    // A build the budget cut short is no model for copies. (The entry is looked up again:
    // the reading may have added entries and moved it.)
    OdxContext::BuiltFunction& first = context.BuiltFunctionOf(message);
    if (first.function == nullptr && !context.budgetReported) {
        first.function = function.get();
        first.warnings = std::move(warnings);
        first.budget = budgetBefore - context.parameterBudget;
    }
    return function;
}

std::unique_ptr<CUDSService> BuildOdxService(OdxContext& context, NanoXML* element) {
    NanoXML* requestRef = Child(element, "REQUEST-REF");
    auto service = std::make_unique<CUDSService>();
    service->name = NameText(context, element, "SHORT-NAME");
    service->longName = NameText(context, element, "LONG-NAME");
    service->desc = DescriptionOf(element);
    if (context.asWritten) service->desc = DecodeCharacterReferences(std::move(service->desc));
    service->xmlLocation = element->GetAttribute("ID");
    service->odxIdRef = service->xmlLocation;
    service->qual = element->GetAttribute("SEMANTIC");
    service->isActive = 1;
    if (NanoXML* request = requestRef ? LinkEnd(requestRef->link) : nullptr) {
        service->requests.push_back(BuildOdxFunction(context, request, "REQ"));
    }
    AddResponses(context, element, "POS-RESPONSE-REFS", "POS-RESPONSE-REF", "POS",
                 service->positiveResponses);
    AddResponses(context, element, "NEG-RESPONSE-REFS", "NEG-RESPONSE-REF", "NEG",
                 service->negativeResponses);
    ReadSessions(context, element, *service);
    // The whole service is read (its responses log what they lack) before it is judged: as
    // described, one without a request is then dropped; read as written it stays, since users
    // decode what it describes of its responses.
    if (requestRef == nullptr && !context.asWritten) {
        context.droppedServices.push_back(std::move(service));
        return nullptr;
    }
    return service;
}

}  // namespace qm::diag
