// The Schedule_tables section: tables of tasks, each built by the command factory.
#include <algorithm>
#include <memory>
#include <unordered_map>

#include "ldf/ldf_command_factory.h"
#include "ldf/ldf_numbers.h"
#include "ldf/ldf_reader.h"
#include "ldf/ldf_schedule_checks.h"
#include "ldf/ldf_sections.h"

namespace qm::ldf {

namespace {

constexpr Delimiters kTableHeaderDelimiters(" {}\t\r\n");
constexpr Delimiters kScheduleEntryDelimiters(" ,;\t{}\r\n");

// Tables named again in a section move to the end of the list, in the order of their last
// naming. Moving one at a time would make many repeated names quadratic; the section notes when
// each table was last named and reorders once when it ends.
struct TableOrder {
    std::unordered_map<const LdfScheduleTable*, uint64_t> lastNamed;
    uint64_t next = 1;
    bool moved = false;

    void Apply(std::vector<std::unique_ptr<LdfScheduleTable>>& tables) const {
        if (!moved) return;
        auto rank = [&](const std::unique_ptr<LdfScheduleTable>& table) {
            auto it = lastNamed.find(table.get());
            return it == lastNamed.end() ? 0 : it->second;
        };
        std::stable_sort(tables.begin(), tables.end(),
                         [&](const auto& a, const auto& b) { return rank(a) < rank(b); });
    }
};

void WarnRepeatedTable(LdfReadContext& ctx, std::string_view name) {
    std::string line;
    AppendDecimal(line, ctx.LineNumber());
    ctx.AddText({"WARNING. Schedule table with name of ", name,
                 " already exists. Warning for line(", line, ") ", ctx.Line().raw.substr(0, 4096),
                 ";\r\n"});
}

// A table of that name gets the entries that follow; otherwise a new table is appended.
LdfScheduleTable& TableFor(LdfReadContext& ctx, TableOrder& order, std::string_view name) {
    LdfModel& model = ctx.model;
    if (LdfScheduleTable* existing = model.scheduleTableIndex.Find(name)) {
        WarnRepeatedTable(ctx, name);
        order.lastNamed[existing] = order.next++;
        order.moved = true;
        return *existing;
    }
    auto table = std::make_unique<LdfScheduleTable>();
    table->name.assign(name);
    model.scheduleTables.push_back(std::move(table));
    LdfScheduleTable* added = model.scheduleTables.back().get();
    model.scheduleTableIndex.Add(added);
    order.lastNamed[added] = order.next++;
    return *added;
}

// Tolerant reading: a delay written with its unit glued on ("delay 10ms") is read as
// "delay 10 ms", as LIN tools read it, with a warning for the entry.
void SeparateGluedDelayUnit(LdfReadContext& ctx, Tokens& tokens) {
    constexpr std::string_view kUnit = "ms";
    for (size_t i = 0; i + 1 < tokens.size(); ++i) {
        if (tokens[i] != "delay") continue;
        const std::string_view delay = tokens[i + 1];
        if (delay.size() <= kUnit.size() || delay.substr(delay.size() - kUnit.size()) != kUnit)
            return;
        const std::string_view number = delay.substr(0, delay.size() - kUnit.size());
        const bool decimal =
            std::all_of(number.begin(), number.end(),
                        [](char c) { return (c >= '0' && c <= '9') || c == '.'; }) &&
            number.find_first_of("0123456789") != std::string_view::npos;
        if (!decimal) return;
        tokens[i + 1] = number;
        tokens.insert(tokens.begin() + static_cast<std::ptrdiff_t>(i) + 2, kUnit);
        ctx.AddLineMessage({"WARNING. Delay written without a blank before its unit, read as \"",
                            number, " ms\". Line("});
        return;
    }
}

bool ScheduleFailed(LdfReadContext& ctx, std::string_view first) {
    return ctx.Fail({"Check Schedule Table Command: ", first, " Line("}, kResultScheduleTables);
}

bool HandleEntry(LdfReadContext& ctx, LdfScheduleTable& table, std::string_view statement) {
    Tokens& tokens = ctx.tokens;
    Split(statement, kScheduleEntryDelimiters, tokens);
    if (tokens.size() < 2) return true;
    if (ctx.tolerant) SeparateGluedDelayUnit(ctx, tokens);
    const int kind = CommandKindOf(ctx.model, tokens[0]);
    if (kind < 0) {
        return ctx.Fail({"Missing frame definition: ", tokens[0], ". Line("},
                        kResultScheduleTables);
    }
    // The frame an entry sends is checked before its command is built: a MasterReq or SlaveResp
    // that the command will create has nothing to check yet, and an entry whose command fails
    // still gets the warnings of its frame.
    if (kind == kLdfCommandFrame) {
        if (const LdfFrame* frame = ctx.model.frameIndex.Find(tokens[0])) {
            CheckScheduledFrame(ctx, *frame);
        }
    }
    auto task = std::make_unique<Task>();
    if (!BuildScheduleCommand(ctx, static_cast<uint8_t>(kind), *task, tokens)) {
        return ScheduleFailed(ctx, tokens[0]);
    }
    table.tasks.push_back(std::move(task));
    return true;
}

enum class TableEnd { kClosed, kStop, kNewSection };

// A top-level keyword inside the section ends it: the line is left for the main loop.
bool MetTopLevelKeyword(LdfReadContext& ctx) {
    if (!IsTopLevelKeyword(ctx.Line().raw)) return false;
    ctx.AddLineMessage({"Schedule tables section not closed but new section started. ", "Line("});
    ctx.lines.PushBack();
    return true;
}

TableEnd ReadTable(LdfReadContext& ctx, LdfScheduleTable& table) {
    LdfLine line;
    for (;;) {
        do {
            if (!ctx.lines.ReadLine(line)) return TableEnd::kClosed;
        } while (line.content.empty());
        if (MetTopLevelKeyword(ctx)) return TableEnd::kNewSection;
        if (line.content.front() == '}') return TableEnd::kClosed;
        std::string_view statement;
        ctx.lines.AssembleStatement(line.content, statement);
        if (statement == "{") continue;
        if (!HandleEntry(ctx, table, statement)) return TableEnd::kStop;
    }
}

bool HandleTable(LdfReadContext& ctx, TableOrder& order, std::string_view statement,
                 bool& sectionEnded) {
    Split(statement, kTableHeaderDelimiters, ctx.tokens);
    if (ctx.tokens.size() != 1) {
        const std::string_view name = ctx.tokens.empty() ? std::string_view() : ctx.tokens[0];
        return ctx.Fail({"Check Schedule Table: ", name, " Line("}, kResultScheduleTables);
    }
    LdfScheduleTable& table = TableFor(ctx, order, ctx.tokens[0]);
    if (statement.back() == '}') return true;
    switch (ReadTable(ctx, table)) {
        case TableEnd::kClosed:
            return true;
        case TableEnd::kNewSection:
            sectionEnded = true;
            return true;
        case TableEnd::kStop:
            return false;
    }
    return true;
}

void WarnWithoutDiagnosticAddresses(LdfReadContext& ctx) {
    if (!ctx.Protocol13Or22() || ctx.model.diagnosticAddressesPresent) return;
    ctx.AddText(
        {"WARNING. No NAD applied to slave node. Master request and slave response are "
         "handled by schedule table.\n"});
}

// The tables of the section up to its closing "}"; false when reading must stop.
bool ReadTables(LdfReadContext& ctx, TableOrder& order) {
    LdfLine line;
    bool sectionEnded = false;
    while (!sectionEnded) {
        do {
            if (!ctx.lines.ReadLine(line)) return true;
        } while (line.content.empty());
        if (MetTopLevelKeyword(ctx)) return true;
        if (line.content.front() == '}') return true;
        std::string_view statement;
        if (!ctx.lines.AssembleStatement(line.content, statement)) {
            return ctx.Fail({"Check Schedule Table: ", TrimView(statement), " Line("},
                            kResultScheduleTables);
        }
        if (statement == "{") continue;
        if (!HandleTable(ctx, order, statement, sectionEnded)) return false;
    }
    return true;
}

}  // namespace

bool ParseScheduleTablesSection(LdfReadContext& ctx) {
    WarnWithoutDiagnosticAddresses(ctx);
    const std::string_view content = ctx.Line().content;
    if (!StartsWith(content, "Schedule_tables")) {
        return ctx.Fail({"Check schedule tables section. Line("}, kResultScheduleTables);
    }
    if (content.back() == '}') return true;
    TableOrder order;
    const bool ok = ReadTables(ctx, order);
    order.Apply(ctx.model.scheduleTables);
    if (ok) CheckAfterScheduleTables(ctx);
    return ok;
}

}  // namespace qm::ldf
