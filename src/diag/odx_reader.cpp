#include "diag/odx_reader.h"

#include <algorithm>
#include <initializer_list>
#include <vector>

#include "diag/diagnose_lib.h"
#include "diag/odx_context.h"
#include "diag/odx_variants.h"
#include "platform/clock.h"
#include "xml/reference_resolver.h"
#include "xml/text.h"

namespace qm::diag {

namespace {

// Parameters a build may make: generous for real files, bounded for hostile ones in which
// structures refer to each other many times over.
constexpr size_t kParametersPerElement = 32;
constexpr size_t kMinimumParameterBudget = size_t{1} << 16;

std::vector<NanoXML*> ContainersOf(NanoXML* odx) {
    std::vector<NanoXML*> containers;
    for (NanoXML* child : odx->children) {
        if (child->name == "DIAG-LAYER-CONTAINER") containers.push_back(child);
    }
    return containers;
}

// The layers of the given kinds in every container of a document, kind by kind.
std::vector<NanoXML*> LayersOf(const std::vector<NanoXML*>& containers,
                               std::initializer_list<const char*> kinds) {
    std::vector<NanoXML*> layers;
    for (const char* kind : kinds) {
        const std::string list = std::string(kind) + "S";
        for (NanoXML* container : containers) {
            for (NanoXML* section : container->children) {
                if (section->name != list) continue;
                for (NanoXML* layer : section->children) {
                    if (layer->name == kind) layers.push_back(layer);
                }
            }
        }
    }
    return layers;
}

// Resolves every reference of the attached documents; gives the resolved count, the
// unresolved count and the number of indexed elements (a measure of the documents' size).
size_t ResolveReferences(CDiagnoseLib& library, const std::vector<NanoXML*>& documents,
                         size_t& unresolved, size_t& indexed) {
    xml::OdxReferenceResolver resolver;
    resolver.SetWithinDocument(library.AsWritten());
    for (NanoXML* document : documents) {
        resolver.Collect(document);
        resolver.CollectTree(document);
    }
    const uint32_t start = platform::TickCount();
    resolver.Resolve(library.SourceTree());
    library.AppendMessage(
        "ODX Refs multicore: " + FormatMilliseconds(start, platform::TickCount()) + "\r\n");
    unresolved = resolver.Unresolved().size();
    indexed = resolver.IdentifierCount() + resolver.ShortNameCount() + resolver.PendingCount();
    return resolver.PendingCount() - unresolved;
}

}  // namespace

bool BuildOdx(CDiagnoseLib& library) {
    NanoXML* tree = library.SourceTree();
    const std::vector<NanoXML*> documents = tree->children;
    const bool hasOdx = std::any_of(documents.begin(), documents.end(),
                                    [](const NanoXML* child) { return child->name == "ODX"; });
    if (!hasOdx) return false;
    const uint32_t start = platform::TickCount();
    size_t unresolved = 0;
    size_t elements = 0;
    const size_t resolved = ResolveReferences(library, documents, unresolved, elements);

    OdxContext context;
    context.library = &library;
    context.asWritten = library.AsWritten();
    std::vector<std::pair<NanoXML*, std::vector<NanoXML*>>> odxDocuments;
    for (NanoXML* document : documents) {
        if (document->name != "ODX") continue;
        std::vector<NanoXML*> containers = ContainersOf(document);
        if (containers.empty()) continue;
        for (NanoXML* container : containers) context.CollectDataObjects(container);
        odxDocuments.emplace_back(document, std::move(containers));
    }
    context.parameterBudget = std::max(kMinimumParameterBudget, elements * kParametersPerElement);
    library.AddTimeOdx(platform::TickCount() - start);

    for (const auto& [document, containers] : odxDocuments) {
        library.SetFormat("ODX_" + document->GetAttribute("MODEL-VERSION"));
        for (NanoXML* variant : LayersOf(containers, {"BASE-VARIANT", "ECU-VARIANT"})) {
            library.Ecus().push_back(BuildOdxEcu(context, variant));
        }
    }
    // Read as written, the other layers follow the variants of every document, as the field's
    // tools list every diagnostic layer: a functional group's services are the functionally
    // addressed requests, a protocol's and shared data's those its variants inherit.
    if (context.asWritten) {
        for (const auto& [document, containers] : odxDocuments) {
            for (NanoXML* layer :
                 LayersOf(containers, {"PROTOCOL", "FUNCTIONAL-GROUP", "ECU-SHARED-DATA"})) {
                library.Ecus().push_back(BuildOdxEcu(context, layer));
            }
        }
    }
    library.AppendMessage("NEW: Resolved REFS:" + std::to_string(resolved) +
                          " Unresolved REFS:" + std::to_string(unresolved) + "\r\n");
    return true;
}

}  // namespace qm::diag
