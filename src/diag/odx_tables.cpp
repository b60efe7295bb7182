#include "diag/odx_tables.h"

#include <algorithm>
#include <vector>

#include "diag/odx_data_objects.h"
#include "diag/odx_parameters.h"
#include "quillmere/xml.h"

namespace qm::diag {

namespace {

bool IsTableEntry(const std::string& name) {
    return name == "TABLE-REF" || name == "TABLE-SNREF" || name == "TABLE-ROW-REF" ||
           name == "TABLE-ROW-SNREF";
}

struct TableChoice {
    NanoXML* table = nullptr;
    NanoXML* row = nullptr;  // set when the key names one row
};

NanoXML* Linked(NanoXML* reference, std::string_view kind) {
    NanoXML* target = LinkEnd(reference->link);
    return target != nullptr && target->name == kind ? target : nullptr;
}

// The table (and row) a "TABLE-KEY" parameter names by its first table entry.
TableChoice SelectTable(OdxContext& context, NanoXML* key, bool report) {
    std::vector<NanoXML*> entries;
    for (NanoXML* child : key->children) {
        if (IsTableEntry(child->name)) entries.push_back(child);
    }
    TableChoice choice;
    if (entries.empty()) return choice;
    if (entries.size() > 1 && report) {
        context.LogOnce("ODX Warning: TABLE-KEY " + Quoted(ShortNameOf(key)) +
                        " holds more than one table entry, the first is used\r\n");
    }
    NanoXML* entry = entries.front();
    if (entry->name == "TABLE-REF") {
        choice.table = Linked(entry, "TABLE");
    } else if (entry->name == "TABLE-SNREF") {
        const std::string name = entry->GetAttribute("SHORT-NAME");
        if (context.asWritten) choice.table = context.LayerTable(key, name);
        if (choice.table == nullptr) choice.table = Linked(entry, "TABLE");
        if (choice.table == nullptr) choice.table = context.TableByShortName(key, name);
        if (choice.table == nullptr && report) {
            context.Log("ODX Warning: unresolved TABLE-SNREF: " + Quoted(name) + "\r\n");
        }
    } else {
        choice.row = Linked(entry, "TABLE-ROW");
        if (choice.row == nullptr) {
            if (report) {
                const std::string reference = entry->name == "TABLE-ROW-REF"
                                                  ? entry->GetAttribute("ID-REF")
                                                  : entry->GetAttribute("SHORT-NAME");
                context.Log("ODX Warning: unresolved TABLE-ROW-REF: " + Quoted(reference) + "\r\n");
            }
        } else if (choice.row->parent != nullptr && choice.row->parent->name == "TABLE") {
            choice.table = choice.row->parent;
        }
    }
    return choice;
}

// The rows of a table in order, referenced rows followed; unresolved ones are reported.
std::vector<NanoXML*> RowsOf(OdxContext& context, NanoXML* table, bool report) {
    std::vector<NanoXML*> rows;
    for (NanoXML* child : table->children) {
        if (child->name == "TABLE-ROW") {
            rows.push_back(child);
        } else if (child->name == "TABLE-ROW-REF") {
            if (NanoXML* row = Linked(child, "TABLE-ROW")) {
                rows.push_back(row);
            } else if (report) {
                context.Log("ODX Warning: unresolved TABLE-ROW-REF: " +
                            Quoted(child->GetAttribute("ID-REF")) + "\r\n");
            }
        }
    }
    return rows;
}

// The data object property of a table's keys (null when it has none).
NanoXML* KeyDataObject(NanoXML* table) {
    NanoXML* dop = LinkEnd(Child(table, "KEY-DOP-REF"));
    return dop != nullptr && dop->name == "DATA-OBJECT-PROP" ? dop : nullptr;
}

// The numeric key of a row. A key written as a physical text is turned into its number by the
// text table of the key's data object; false for a key that stays no number. Every key that is
// not a number is reported when asked (as written, only one the text table cannot turn).
bool RowKey(OdxContext& context, NanoXML* row, const CParam& keyCoding, uint32_t& key,
            bool report) {
    std::string text = TextOf(row, "KEY");
    if (ParseLimit(text, key)) return true;
    // The described line is the text and the key alone: unlike the other warnings it has no
    // line end of its own. As written it ends in "\r\n" like every other line.
    const auto warn = [&] {
        if (!report) return;
        context.Log("Warning: Non-numerical key value: " + text +
                    (context.asWritten ? "\r\n" : ""));
    };
    for (const auto& entry : keyCoding.valueTable) {
        if (entry->text == text) {
            if (!context.asWritten) warn();
            key = entry->rangeStart;
            return true;
        }
    }
    warn();
    return false;
}

// The coding and text table of a table's key data object.
CParam KeyCodingOf(NanoXML* table) {
    CParam coding;
    if (NanoXML* dop = KeyDataObject(table)) ApplyDataObjectProp(dop, coding);
    return coding;
}

void ApplyTableKey(OdxContext& context, NanoXML* element, CParam& param) {
    param.isKey = 1;
    const TableChoice choice = SelectTable(context, element, true);
    if (choice.table == nullptr) return;
    if (NanoXML* keyDop = KeyDataObject(choice.table)) {
        ApplyCodedType(Child(keyDop, "DIAG-CODED-TYPE"), param, context.asWritten);
    }
    const CParam keyCoding = KeyCodingOf(choice.table);
    for (NanoXML* row : RowsOf(context, choice.table, true)) {
        uint32_t key = 0;
        if (!RowKey(context, row, keyCoding, key, true)) continue;
        auto entry = std::make_unique<CVTabValue>(std::string(ShortNameOf(row)), key, key);
        entry->xmlLocation = row->GetAttribute("ID");
        param.valueTable.push_back(std::move(entry));
        if (row == choice.row) param.valueStr = std::to_string(key);
    }
}

void ApplyTableStruct(OdxContext& context, NanoXML* element, CParam& param, int depth) {
    NanoXML* reference = Child(element, "TABLE-KEY-REF");
    std::string referenceText;
    if (reference != nullptr) {
        referenceText = reference->GetAttribute("ID-REF");
    } else if ((reference = Child(element, "TABLE-KEY-SNREF")) != nullptr) {
        referenceText = reference->GetAttribute("SHORT-NAME");
    } else {
        return;
    }
    NanoXML* key = LinkEnd(reference->link);
    if (key == nullptr || key->name != "PARAM") {
        context.Log("Unresolved: TABLE-KEY-REF : " + referenceText + "\r\n");
        return;
    }
    const TableChoice choice = SelectTable(context, key, false);
    if (choice.table == nullptr) return;
    const CParam keyCoding = KeyCodingOf(choice.table);
    for (NanoXML* row : RowsOf(context, choice.table, false)) {
        uint32_t value = 0;
        if (!RowKey(context, row, keyCoding, value, false)) continue;
        if (!context.TakeBudget()) break;
        auto caseParam = std::make_unique<CParam>();
        caseParam->name = std::string(ShortNameOf(row));
        caseParam->type = RecentText("TABLE-ROW");
        caseParam->xmlLocation = row->GetAttribute("ID");
        caseParam->rangeFirst = caseParam->rangeSecond = value;
        caseParam->valueStr = std::to_string(value);
        NanoXML* target = LinkEnd(Child(row, "STRUCTURE-REF"));
        if (target == nullptr) target = LinkEnd(Child(row, "DATA-OBJECT-PROP-REF"));
        if (target != nullptr) ApplyDataObject(context, target, *caseParam, depth + 1);
        FinishOdxParam(*caseParam);
        caseParam->owner = reinterpret_cast<uint64_t>(&param);
        param.bitLength = std::max(param.bitLength, caseParam->bitLength);
        param.conditionalParams.push_back(std::move(caseParam));
    }
    param.isConditional = param.conditionalParams.empty() ? 0 : 1;
}

}  // namespace

void ApplyTableParts(OdxContext& context, NanoXML* element, CParam& param, int depth) {
    bool key = param.type == "TABLE-KEY";
    bool structure = param.type == "TABLE-STRUCT";
    for (NanoXML* child : element->children) {
        // Every child of every parameter passes here: only "TABLE-..." names can matter.
        if (child->name.size() < 9 || child->name[0] != 'T') continue;
        if (IsTableEntry(child->name)) key = true;
        if (child->name == "TABLE-KEY-REF" || child->name == "TABLE-KEY-SNREF") structure = true;
    }
    if (key) {
        ApplyTableKey(context, element, param);
    } else if (structure) {
        ApplyTableStruct(context, element, param, depth);
    }
}

}  // namespace qm::diag
