#include "diag/cdd_reader.h"

#include <mutex>

#include "diag/cdd_context.h"
#include "diag/cdd_parameters.h"
#include "diag/diagnose_lib.h"
#include "platform/clock.h"
#include "xml/reference_resolver.h"
#include "xml/text.h"

namespace qm::diag {

namespace {

// The build context is process-wide: one CDD build at a time.
std::mutex& BuildMutex() {
    static std::mutex mutex;
    return mutex;
}

CddContext& ProcessContext() {
    static CddContext context;
    return context;
}

// Parameters a document may yield: generous for real files, bounded for hostile ones.
constexpr size_t kParametersPerElement = 16;
constexpr size_t kMinimumParameterBudget = 1 << 16;

void SetParameterBudget(CddContext& context, size_t elements) {
    context.parameterBudget = std::max(kMinimumParameterBudget, elements * kParametersPerElement);
    context.budgetReported = false;
}

// The build's own table of the document's ids, the first holder in document order of each.
void IndexIdentifiers(CddContext& context, NanoXML* root) {
    context.ownIds.Clear();
    size_t elements = 0;
    std::vector<NanoXML*> pending{root};
    while (!pending.empty()) {
        NanoXML* node = pending.back();
        pending.pop_back();
        ++elements;
        // The first "id" names the element, as for every attribute lookup.
        for (const NanoXMLAttribute& attribute : node->attributes) {
            if (attribute.name == "id") {
                context.ownIds.Add(attribute.value, node);
                break;
            }
        }
        // Children in reverse, so that the first element of an id in document order wins.
        for (auto it = node->children.rbegin(); it != node->children.rend(); ++it)
            pending.push_back(*it);
    }
    context.ids = &context.ownIds;
    SetParameterBudget(context, elements);
}

NanoXML* Path(NanoXML* root, const char* first, const char* second) {
    NanoXML* step = root ? root->GetChild(first, false) : nullptr;
    return step ? step->GetChild(second, false) : nullptr;
}

NanoXML* ResolveInstance(CddContext& context, NanoXML* element) {
    if (element->name == "DIAGINST") return element;
    const std::string& idref = AttributeText(*element, "idref");
    NanoXML* target = context.FindIn(context.ecu, idref, false);
    return target != nullptr && target->name == "DIAGINST" ? target : nullptr;
}

void BuildContext(CddContext& context) {
    NanoXML* root = context.root;
    context.ecu = Path(root, "ECUDOC", "ECU");
    context.templates = Path(root, "ECUDOC", "DCLTMPLS");
    context.faultMemoryTemplate =
        context.templates ? context.templates->FindChild("DCLTMPL", "cls", "ftm", false) : nullptr;
    context.dataTypes = Path(root, "ECUDOC", "DATATYPES");
    context.negativeResponseCodes = Path(root, "ECUDOC", "NEGRESCODES");
    context.dtcStatusMask = Path(root, "ECUDOC", "DTCSTATUSMASK");
    context.protocolServices = Path(root, "ECUDOC", "PROTOCOLSERVICES");
}

std::unique_ptr<CUDSFunction> BuildFunction(CddContext& context, NanoXML* message,
                                            const char* type) {
    auto function = std::make_unique<CUDSFunction>();
    NanoXML* instance = context.instance;
    function->type = context.texts.Intern(type);
    function->xmlLocation = AttributeText(*message, "id") + " + " + AttributeText(*instance, "id");
    function->name = context.texts.Intern(ChildLanguageText(message, "NAME"));
    function->desc = context.texts.Intern(ChildLanguageText(message, "DESC"));
    function->qual = message->GetChild("QUAL", true)->GetText();
    if (function->qual.empty()) function->qual = ChildText(instance, "QUAL");
    size_t components = 0;
    for (const NanoXML* child : message->children)
        components += IsMessageComponent(child->name) ? 1 : 0;
    function->params.reserve(components);
    for (NanoXML* child : message->children) {
        if (!IsMessageComponent(child->name)) continue;
        std::unique_ptr<CParam> param = ReadComponent(context, child, 0);
        if (!param) break;
        PlaceAfter(*param, function->params.empty() ? nullptr : function->params.back().get());
        param->CompleteType();
        function->AddParam(std::move(param));
    }
    return function;
}

std::unique_ptr<CUDSService> BuildService(CddContext& context, NanoXML* element,
                                          NanoXML* instance) {
    auto service = std::make_unique<CUDSService>();
    service->isMandatory = 1;
    service->isActive = 1;
    context.instance = instance;
    service->xmlLocation = AttributeText(*element, "id");
    service->name = ChildLanguageText(instance, "NAME");
    const std::string own = ChildLanguageText(element, "NAME");
    if (!own.empty()) service->name += " " + own;
    std::string levels = AttributeText(*element, "mayBeExec");
    if (levels.empty()) levels = AttributeText(*instance, "mayBeExec");
    std::erase(levels, '(');
    std::erase(levels, ')');
    service->securityExecLevels = levels;
    element->GetChild("QUAL", true);
    service->qual = element->GetChild("SHORTCUTQUAL", true)->GetText();
    service->desc = ChildLanguageText(instance, "DESC");
    if (AttributeText(*element, "act") == "0") service->isActive = 0;

    NanoXML* tmpl = context.FindIn(context.templates, AttributeText(*element, "tmplref"), false);
    NanoXML* protocol =
        tmpl ? context.FindIn(context.protocolServices, AttributeText(*tmpl, "tmplref"), true)
             : nullptr;
    if (protocol == nullptr) return service;
    if (service->qual.empty()) service->qual = protocol->GetChild("QUAL", true)->GetText();
    service->requests.push_back(BuildFunction(context, protocol->GetChild("REQ", true), "REQ"));
    service->positiveResponses.push_back(
        BuildFunction(context, protocol->GetChild("POS", true), "POS"));
    service->negativeResponses.push_back(
        BuildFunction(context, protocol->GetChild("NEG", true), "NEG"));
    return service;
}

void AddServicesOf(CddContext& context, NanoXML* instance, CFunctionalClass& cls) {
    for (NanoXML* child : instance->children) {
        if (child->name == "SERVICE")
            cls.services.push_back(BuildService(context, child, instance));
    }
}

std::unique_ptr<CECU> BuildVariant(CddContext& context, NanoXML* variant) {
    BuildContext(context);
    auto ecu = std::make_unique<CECU>();
    ecu->xmlLocation = AttributeText(*variant, "id");
    ecu->shortName = ChildLanguageText(context.ecu, "NAME");
    ecu->longName = ChildLanguageText(variant, "NAME");
    ecu->qual = ChildText(variant, "QUAL");
    ecu->isJobFile = AttributeText(*variant, "base") == "1" ? 1 : 0;

    for (NanoXML* child : variant->children) {
        if (child->name != "DIAGINST" && child->name != "DIAGINSTREF") continue;
        NanoXML* instance = ResolveInstance(context, child);
        if (instance == nullptr || instance->GetChild("NAME", false) == nullptr) continue;
        auto cls = std::make_unique<CFunctionalClass>();
        cls->name = ChildLanguageText(instance, "NAME");
        cls->xmlLocation = AttributeText(*instance, "id");
        AddServicesOf(context, instance, *cls);
        ecu->functionalClasses.push_back(std::move(cls));
    }
    for (NanoXML* child : variant->children) {
        if (child->name != "DIAGCLASS") continue;
        auto cls = std::make_unique<CFunctionalClass>();
        cls->xmlLocation = AttributeText(*child, "id");
        cls->name = ChildLanguageText(child, "NAME");
        cls->qual = ChildText(child, "QUAL");
        for (NanoXML* member : child->children) {
            if (member->name != "DIAGINST" && member->name != "DIAGINSTREF") continue;
            if (NanoXML* instance = ResolveInstance(context, member))
                AddServicesOf(context, instance, *cls);
        }
        ecu->functionalClasses.push_back(std::move(cls));
    }
    context.ClearVariant();
    return ecu;
}

std::unique_ptr<CExtDocument> BuildExtDocument(CddContext& context, NanoXML* element,
                                               bool jobFile) {
    auto document = std::make_unique<CExtDocument>();
    document->id = AttributeText(*element, "id");
    document->isJobFile = jobFile ? 1 : 0;
    document->version = AttributeText(*element, "version");
    document->syntax = AttributeText(*element, "syntax");
    document->usage = AttributeText(*element, "usage");
    document->creationDateTime = AttributeText(*element, "creationdt");
    document->changedDateTime = AttributeText(*element, "changedt");
    document->fileName = ChildText(element, "FILENAME");
    if (NanoXML* contents = element->GetChild("FILECONTENTS", false)) {
        std::string text = contents->GetText();
        std::erase_if(text, [](char c) { return c == ' ' || c == '\r' || c == '\n' || c == '\t'; });
        const std::string bytes = Base64Decode(text);
        bool valid = true;
        const int64_t declared = DecimalAttribute(contents, "len", &valid);
        if (!valid || (declared != 0 && static_cast<uint64_t>(declared) != bytes.size())) {
            context.Warn("External document " + document->fileName + " holds " +
                         std::to_string(bytes.size()) + " bytes, its length says " +
                         AttributeText(*contents, "len"));
        }
        document->content.assign(bytes.begin(), bytes.end());
    }
    return document;
}

// ids, when given, is the table of the document's ids that the reference resolution collected,
// with the number of its elements.
void BuildDocument(CddContext& context, CDiagnoseLib& library, NanoXML* root,
                   const xml::IdTable* ids, size_t elements) {
    context.root = root;
    if (ids != nullptr) {
        context.ids = ids;
        SetParameterBudget(context, elements);
    } else {
        IndexIdentifiers(context, root);
    }
    for (NanoXML* ecudoc : root->children) {
        if (ecudoc->name != "ECUDOC") continue;
        if (NanoXML* ecu = ecudoc->GetChild("ECU", false)) {
            for (NanoXML* variant : ecu->children) {
                if (variant->name == "VAR")
                    library.Ecus().push_back(BuildVariant(context, variant));
            }
        }
        if (NanoXML* shared = ecudoc->GetChild("ECUSHAREDDATA", false)) {
            for (NanoXML* child : shared->children) {
                if (child->name == "EXTDOC") {
                    library.ExtDocuments().push_back(BuildExtDocument(context, child, false));
                }
            }
        }
        if (NanoXML* jobs = ecudoc->GetChild("JOBFILES", false)) {
            for (NanoXML* job : jobs->children) {
                if (job->name != "JOBFILE") continue;
                for (NanoXML* child : job->children) {
                    if (child->name == "EXTDOC") {
                        library.ExtDocuments().push_back(BuildExtDocument(context, child, true));
                    }
                }
            }
        }
    }
    context.ids = nullptr;
    context.ownIds.Clear();
    context.dataTypeMemos.Clear();
    context.root = nullptr;
}

}  // namespace

uint32_t BuildCdd(CDiagnoseLib& library) {
    std::lock_guard<std::mutex> lock(BuildMutex());
    CddContext& context = ProcessContext();
    context.library = &library;
    context.asWritten = library.AsWritten();
    const uint32_t start = platform::TickCount();
    NanoXML* tree = library.SourceTree();
    uint32_t processed = 0;
    // The source tree may gain elements while building (looked up with creation), never
    // documents: iterate over a snapshot of the documents.
    const std::vector<NanoXML*> documents = tree->children;
    for (NanoXML* root : documents) {
        if (root->name != "CANDELA") continue;
        processed = 1;
        xml::CddReferenceResolver resolver;
        for (NanoXML* document : documents) {
            resolver.Collect(document);
            resolver.CollectTree(document);
        }
        const uint32_t resolveStart = platform::TickCount();
        resolver.Resolve(tree);
        library.AppendMessage(resolver.Messages());
        library.AppendMessage("CDD Refs multicore: " +
                              FormatMilliseconds(resolveStart, platform::TickCount()) + "\r\n");
        library.SetFormat("CANDELA_" + AttributeText(*root, "dtdvers"));
        std::string language = library.GetCddLanguage();
        if (language.empty() && library.AsWritten()) language = FirstUpToDateLanguage(root);
        SetBuildLanguage(std::move(language));
        // The resolution collected every element of every document, the first holder of an id
        // in the order the reader completes elements. For a lone document whose ids are all
        // distinct that is the build's table too; otherwise the build makes its own.
        const bool shareIds = documents.size() == 1 && !resolver.Identifiers().HasRepeats();
        BuildDocument(context, library, root, shareIds ? &resolver.Identifiers() : nullptr,
                      resolver.CollectedCount());
    }
    context.library = nullptr;
    SetBuildLanguage("");
    context.warned.clear();
    context.texts.Clear();
    context.dataTypeMemos.Clear();
    context.ClearVariant();
    library.AddTimeCdd(platform::TickCount() - start);
    return processed;
}

}  // namespace qm::diag
