#include "dbc/dbc_read_context.h"

#include "dbc/dbc_attribute_definition.h"
#include "dbc/dbc_message.h"
#include "dbc/dbc_number.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

void DbcReadContext::AppendMessage(std::string_view text, std::string_view ending) {
    std::string& log = file_.Log();
    log += text;
    log += "Line(";
    AppendInteger(log, lines_.LineNumber());
    log += ") ";
    log += line_;
    log += ending;
}

DbcReadContext::DbcReadContext(NetConfigDbcFile& file, DbcLineSource& lines)
    : file_(file), lines_(lines), tolerant_(file.Tolerant()) {}

DbcReadContext::~DbcReadContext() {
    // A read cut short by an exception still leaves every signal it listed in its message.
    try {
        ListPendingSignals();
    } catch (...) {
    }
}

DbcSignal& DbcReadContext::PendSignal(DbcMessage& message, DbcSignalPtr signal) {
    if (pendingMessage_ != &message) {
        ListPendingSignals();
        pendingMessage_ = &message;
    }
    pendingSignals_.push_back(std::move(signal));
    return *pendingSignals_.back();
}

void DbcReadContext::ListPendingSignals() {
    if (pendingMessage_ != nullptr) pendingMessage_->AddSignals(pendingSignals_);
    pendingMessage_ = nullptr;
}

const DbcText& DbcReadContext::AttributeName(const DbcAttributeDefinition& definition) {
    DbcText& name = attributeNames_[&definition];
    // A definition read again may be a new object at a freed one's address: the text is
    // checked, not trusted.
    if (name != definition.Name()) name = definition.Name();
    return name;
}

int DbcReadContext::Fail(std::string_view text, uint32_t status, std::string_view ending) {
    if (tolerant_) {
        file_.Log() += "WARNING. ";
        AppendMessage(text, ending);
        file_.CountToleratedLine();
        MarkWarning();
        return 0;
    }
    AppendMessage(text, ending);
    file_.SetStatus(status);
    return 0;
}

void DbcReadContext::Tolerate(std::string_view text) {
    file_.Log() += "WARNING. ";
    AppendMessage(text);
    file_.CountToleratedLine();
    MarkWarning();
}

DbcNode* DbcReadContext::NodeNamed(std::string_view name) {
    if (DbcNode* node = file_.NodeByName(name)) return node;
    if (!tolerant_ || name.empty() || name == "Vector__XXX") return nullptr;
    std::string text = "Node ";
    text.append(name).append(" is not declared in BU_, added as a node. ");
    Tolerate(text);
    return file_.AddNode(std::string(name));
}

void DbcReadContext::MarkWarning() {
    if (file_.Status() <= kDbcLoadedWithWarnings) file_.SetStatus(kDbcLoadedWithWarnings);
}

void DbcReadContext::Warn(std::string_view prefix, std::string_view name) {
    std::string& log = file_.Log();
    log += prefix;
    log += name;
    log += ". ";
    AppendMessage({});
    MarkWarning();
}

std::string_view DbcReadContext::AssembleUntilSemicolon() {
    std::string_view text = line_;
    if (text.empty() || text.back() == ';') return text;
    statement_.assign(text);
    std::string_view next;
    while ((statement_.empty() || statement_.back() != ';') && lines_.ReadLine(next)) {
        statement_ += ' ';
        statement_ += next;
    }
    line_ = statement_;
    return line_;
}

namespace {

// Scans for a ";" outside double quotes; quoted carries the state across lines. With escapes
// (tolerant reading), a backslash inside a quoted run escapes the next character, so that a
// lone escaped quote ("a 5\" screen") does not end the run.
size_t FindStatementEnd(std::string_view text, bool& quoted, bool escapes) {
    for (size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '"') {
            quoted = !quoted;
        } else if (c == ';' && !quoted) {
            return i;
        } else if (c == '\\' && quoted && escapes) {
            ++i;
        }
    }
    return std::string_view::npos;
}

}  // namespace

std::string_view DbcReadContext::AssembleQuotedStatement() {
    bool quoted = false;
    std::string_view current = line_;
    size_t end = FindStatementEnd(current, quoted, tolerant_);
    bool joined = false;
    while (end == std::string_view::npos) {
        std::string_view next;
        if (!lines_.ReadLine(next)) break;
        if (!joined) {
            statement_.assign(line_);
            joined = true;
        }
        statement_ += "\r\n";
        current = next;
        end = FindStatementEnd(current, quoted, tolerant_);
        statement_.append(
            current.substr(0, end == std::string_view::npos ? current.size() : end + 1));
    }
    if (end != std::string_view::npos) {
        const std::string_view rest = TrimView(current.substr(end + 1));
        if (!rest.empty()) lines_.PushBack(rest);
        if (!joined) {
            line_ = current.substr(0, end + 1);
            return line_;
        }
    }
    if (joined) line_ = statement_;
    return line_;
}

}  // namespace qm::dbc
