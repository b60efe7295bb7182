#pragma once
// What the ODX build knows while it runs: the data-object-property identifier map, the short
// names of the data objects and tables of each layer container, the guards against reference
// cycles, and the small element helpers the handlers share.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <unordered_set>
#include <vector>

#include "xml/text.h"

class CDiagnoseLib;
class CUDSFunction;
class CUDSService;
class NanoXML;

namespace qm::diag {

struct OdxContext {
    CDiagnoseLib* library = nullptr;

    // "DATA-OBJECT-PROP" elements by their "ID", the first of each value.
    std::unordered_map<std::string_view, NanoXML*> dopsById;
    // Per "DIAG-LAYER-CONTAINER": its data object properties and tables by SHORT-NAME.
    struct ContainerNames {
        std::unordered_map<std::string_view, NanoXML*> dops;
        std::unordered_map<std::string_view, NanoXML*> tables;
        bool tablesIndexed = false;
    };
    std::unordered_map<const NanoXML*, ContainerNames> containers;

    // Data objects being expanded right now (a structure that contains itself is a cycle).
    std::unordered_set<const NanoXML*> expanding;
    // Parameters the build may still make: nested structures cannot multiply beyond a
    // multiple of the documents' size.
    size_t parameterBudget = 0;
    bool budgetReported = false;
    // The session each related session service stands for (-1: none), found once per build.
    std::unordered_map<const NanoXML*, int> sessions;
    // Warning lines already given: one line per distinct problem, however often it recurs.
    std::unordered_set<std::string> warned;
    // Reading as written: the diagnostic communications each layer has after value
    // inheritance, worked out once per layer and build.
    bool asWritten = false;
    std::unordered_map<const NanoXML*, std::vector<NanoXML*>> availableComms;

    // Functions already built from a request or response element. Building one depends on
    // the element alone (short-name references resolve in the layer that encloses it), so a
    // message that several services or inheriting layers share is read once and copied after:
    // the copy repeats the warnings of the first build and takes the same parameter budget.
    struct BuiltFunction {
        const CUDSFunction* function = nullptr;  // owned by the model being built
        std::vector<std::string> warnings;
        size_t budget = 0;
    };
    // The entry of a message element, made empty on first use.
    BuiltFunction& BuiltFunctionOf(const NanoXML* message);
    // Where Log also records its lines while a function is built (null: nowhere).
    std::vector<std::string>* recordedLines = nullptr;
    // Services read but left out of the model: kept until the build ends, since the functions
    // built for them stand as the models of later copies.
    std::vector<std::unique_ptr<CUDSService>> droppedServices;

    OdxContext();
    ~OdxContext();

    // Appends a line (ending in "\r\n") to the process-wide XML message log.
    void Log(const std::string& line);
    // The same, once per distinct line.
    void LogOnce(const std::string& line);
    // Takes one parameter from the budget; false (with one line) once it is spent.
    bool TakeBudget();

    // Indexes the "DATA-OBJECT-PROP" elements up to five levels below a container.
    void CollectDataObjects(NanoXML* container);
    // The data object property of that SHORT-NAME in the container enclosing `from`.
    NanoXML* DataObjectByShortName(NanoXML* from, std::string_view shortName);
    // The "TABLE" of that SHORT-NAME in the container enclosing `from`.
    NanoXML* TableByShortName(NanoXML* from, std::string_view shortName);

    // Reading as written: the data object (or table) of that SHORT-NAME that the layer
    // enclosing `from` has after value inheritance: its own, else its parents' by priority
    // without those its parent references list in "NOT-INHERITED-DOPS" ("NOT-INHERITED-TABLES").
    NanoXML* LayerDataObject(NanoXML* from, std::string_view shortName);
    NanoXML* LayerTable(NanoXML* from, std::string_view shortName);
    struct LayerItems {
        std::unordered_map<std::string_view, NanoXML*> dops;
        std::unordered_map<std::string_view, NanoXML*> tables;
    };
    std::unordered_map<const NanoXML*, LayerItems> layerItems;
    const LayerItems& ItemsOf(NanoXML* layer, int depth);

  private:
    // Built functions by element in one open-addressed array (at most half full): a node-based
    // map cost a twentieth of the build in allocations and cache misses.
    struct BuiltSlot {
        const NanoXML* message = nullptr;
        uint32_t entry = 0;
    };
    std::vector<BuiltSlot> builtSlots_;
    std::vector<BuiltFunction> built_;
};

// Element helpers of the ODX handlers.
// The end of the link chain of node (node itself when it has no link); null for null.
NanoXML* LinkEnd(NanoXML* node);
// The first child of that name (null when none or when element is null).
NanoXML* Child(NanoXML* element, std::string_view name);
// The text of the named child ("" when there is none).
std::string TextOf(NanoXML* element, std::string_view name);
// The SHORT-NAME text of an element, without copying ("" when it has none).
std::string_view ShortNameOf(const NanoXML* element);
// The value of the first attribute of that name, without copying ("" when absent).
std::string_view AttributeOf(const NanoXML* element, std::string_view name);
// A whole decimal number (with an optional sign); false when the text is not one.
bool ParseInteger(std::string_view text, int64_t& value);
// A decimal or, failing that, floating-point number clamped into u32; false for no number.
bool ParseLimit(std::string_view text, uint32_t& value);
// Ends an ODX warning text: a quotation mark, the value, a quotation mark.
std::string Quoted(std::string_view text);
// The named child's text, with character references decoded when reading as written.
std::string NameText(const OdxContext& context, NanoXML* element, std::string_view name);

}  // namespace qm::diag
