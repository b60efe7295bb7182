#include "dbc/netconfig_dbc_file.h"
#include "dbc/dbc_tokens.h"

#include <cstdlib>

#include "dbc/dbc_enums.h"
#include "dbc/dbc_info_text.h"
#include "dbc/dbc_lists.h"
#include "dbc/dbc_reader.h"
#include "dbc/dbc_writer.h"
#include "platform/clock.h"
#include "platform/files.h"
#include "platform/open_table.h"
#include "platform/paths.h"
#include "xml/text.h"

namespace qm::dbc {

NetConfigDbcFile::NetConfigDbcFile() = default;

NetConfigDbcFile::~NetConfigDbcFile() {
    Clear();
}

void NetConfigDbcFile::Clear() {
    // Nodes go first. Their relation attributes are listed by messages, signals and variables
    // too; those views are dropped in one pass beforehand, so that destroying many relation
    // attributes never searches the lists one attribute at a time.
    DropRelationViews();
    clearingAll_ = true;
    for (auto& node : nodes_) node->Clear();
    nodes_.clear();
    clearingAll_ = false;
    valueTables_.clear();
    dbcMessages_.clear();
    variables_.clear();
    definitions_.clear();
    // The network list owns everything it holds: a container restore puts the relation
    // attributes there too, since their stored elements name no owner.
    networkAttributes_.DeleteAll(true);
    allSignals_.clear();
    nodeIndex_.clear();
    messageIdSlots_ = {};
    duplicateMessageIds_ = false;
    lastMessage_ = 0;
    messageNameIndex_.clear();
    messageNamesIndexed_ = false;
    variableIndex_.clear();
    definitionIndex_.clear();
    stopCode_ = 0;
    toleratedLines_ = 0;
    messages_.clear();
    databaseName_.clear();
    status_ = kDbcNotLoaded;
    version_.clear();
    newSymbols_.clear();
    bitTiming_.reset();
    networkComment_.clear();
    lastHandlerResult_ = 1;
    // Every object that pointed into the arena or at a shared receiver list is gone.
    ForgetReceiverListIndex();
    receiverLists_.clear();
    signalPool_.Reset();
    textArena_.Reset();
}

const char* NetConfigDbcFile::GetInfoText() {
    infoText_ = RenderInfoText(*this);
    return infoText_.c_str();
}

bool NetConfigDbcFile::Load(const wchar_t* path) {
    const std::wstring widePath = path ? path : L"";
    platform::InputFile input;
    if (!input.Open(widePath).ok) {
        status_ = kDbcFileNotOpened;
        lastHandlerResult_ = 0;
        return false;
    }
    return LoadText(input.Text(), widePath, &input);
}

bool NetConfigDbcFile::LoadText(std::string_view text, const std::wstring& path,
                                platform::InputFile* input) {
    Clear();
    const uint32_t start = platform::TickCount();
    SetPath(path.c_str());
    DbcReader reader(*this, text, input);
    int result;
    {
        const DbcTextArena::Scope texts(textArena_);
        result = reader.Run();
    }
    for (auto& node : nodes_) node->TrimLists();
    for (auto& message : dbcMessages_) message->TrimLists();
    ForgetReceiverListIndex();
    messages_ += "Dbc parser measured time: ";
    messages_ += FormatMilliseconds(start, platform::TickCount());
    messages_ += '\n';
    if (status_ == kDbcNotLoaded) status_ = kDbcLoaded;
    lastHandlerResult_ = static_cast<uint32_t>(result);
    SetDatabaseNameAfterLoad();
    return result == 1;
}

namespace {

// Mixes the node pointers of a list; its low bits pick the slot probing starts at.
uint64_t HashOfList(const std::vector<DbcNode*>& list) {
    uint64_t hash = list.size();
    for (const DbcNode* node : list) {
        hash = (hash ^ reinterpret_cast<uintptr_t>(node)) * 0x9E3779B97F4A7C15ull;
        hash ^= hash >> 29;
    }
    return hash;
}

}  // namespace

bool NetConfigDbcFile::SameNodes(const ReceiverListSlot& entry,
                                 const std::vector<DbcNode*>& receivers) const {
    if (entry.count != receivers.size()) return false;
    // Lists hold a few nodes: a plain loop, not a call of memcmp.
    const DbcNode* const* keys = receiverListKeys_.data() + entry.keys;
    for (size_t i = 0; i < receivers.size(); ++i) {
        if (keys[i] != receivers[i]) return false;
    }
    return true;
}

std::vector<DbcNode*>* NetConfigDbcFile::SharedReceiverList(
    const std::vector<DbcNode*>& receivers) {
    if (receivers.empty()) return nullptr;
    // Neighbouring signals often have the same receivers.
    if (lastReceiverList_.list != nullptr && SameNodes(lastReceiverList_, receivers)) {
        return lastReceiverList_.list;
    }
    const auto isUsed = [](const ReceiverListSlot& slot) { return slot.list != nullptr; };
    const uint64_t hash = HashOfList(receivers);
    if (!receiverListSlots_.empty()) {
        const size_t mask = receiverListSlots_.size() - 1;
        for (size_t slot = hash & mask; isUsed(receiverListSlots_[slot]);
             slot = (slot + 1) & mask) {
            const ReceiverListSlot& entry = receiverListSlots_[slot];
            if (entry.hash == hash && SameNodes(entry, receivers)) {
                lastReceiverList_ = entry;
                return entry.list;
            }
        }
    }
    receiverLists_.push_back(receivers);
    ReceiverListSlot entry;
    entry.hash = hash;
    entry.keys = static_cast<uint32_t>(receiverListKeys_.size());
    entry.count = static_cast<uint32_t>(receivers.size());
    entry.list = &receiverLists_.back();
    receiverListKeys_.insert(receiverListKeys_.end(), receivers.begin(), receivers.end());
    if ((receiverLists_.size() + 1) * 4 > receiverListSlots_.size() * 3) {
        platform::GrowTable(receiverListSlots_, 64, isUsed);
    }
    platform::PlaceInTable(receiverListSlots_, entry, isUsed);
    lastReceiverList_ = entry;
    return entry.list;
}

std::string NetConfigDbcFile::RenderText() const {
    return RenderDbcText(*this);
}

void NetConfigDbcFile::SetDatabaseNameAfterLoad() {
    if (const DbcAttribute* name = networkAttributes_.Find("DBName")) {
        databaseName_ = name->Value();
        return;
    }
    databaseName_ = platform::Narrow(StripExtension(FileNameOfPath(path_)));
}

bool NetConfigDbcFile::Save() {
    return Save(path_.c_str());
}

bool NetConfigDbcFile::Save(const wchar_t* path) {
    const std::string text = RenderText();
    return platform::WriteFileAtomic(std::wstring(path ? path : L""), text).ok;
}

uint32_t NetConfigDbcFile::GetBaudrate() {
    const DbcAttribute* baudrate = networkAttributes_.Find("Baudrate");
    if (!baudrate) return 0xFFFFFFFF;
    return static_cast<uint32_t>(StrToI32(baudrate->Value().c_str()));
}

const char* NetConfigDbcFile::GetNewSymbol(uint64_t index) {
    return index < newSymbols_.size() ? newSymbols_[index].c_str() : nullptr;
}

IDbcNode* NetConfigDbcFile::GetNode(uint64_t index) {
    return ItemAt(nodes_, index);
}

IDbcNode* NetConfigDbcFile::FindNode(const char* name) {
    return name ? NodeByName(name) : nullptr;
}

uint32_t NetConfigDbcFile::IndexOfNode(IDbcNode* node) {
    return PositionOf(nodes_, dynamic_cast<DbcNode*>(node));
}

IDbcValueTable* NetConfigDbcFile::GetValueTable(uint64_t index) {
    return ItemAt(valueTables_, index);
}

IDbcValueTable* NetConfigDbcFile::FindValueTable(const char* name) {
    return FindByName(valueTables_, name);
}

uint32_t NetConfigDbcFile::IndexOfValueTable(IDbcValueTable* table) {
    return PositionOf(valueTables_, dynamic_cast<DbcValueTable*>(table));
}

IDbcMessage* NetConfigDbcFile::GetMessage(uint64_t index) {
    return ItemAt(dbcMessages_, index);
}

IDbcMessage* NetConfigDbcFile::GetFirstMessage() {
    return dbcMessages_.empty() ? nullptr : dbcMessages_.front().get();
}

IDbcMessage* NetConfigDbcFile::GetLastMessage() {
    return dbcMessages_.empty() ? nullptr : dbcMessages_.back().get();
}

IDbcMessage* NetConfigDbcFile::FindMessage(const char* name) {
    return name ? MessageByName(name) : nullptr;
}

uint32_t NetConfigDbcFile::IndexOfMessage(IDbcMessage* message) {
    return PositionOf(dbcMessages_, dynamic_cast<DbcMessage*>(message));
}

IDbcEnvironmentVariable* NetConfigDbcFile::GetEnvironmentVariable(uint64_t index) {
    return ItemAt(variables_, index);
}

IDbcEnvironmentVariable* NetConfigDbcFile::FindEnvironmentVariable(const char* name) {
    return name ? VariableByName(name) : nullptr;
}

uint32_t NetConfigDbcFile::IndexOfEnvironmentVariable(IDbcEnvironmentVariable* variable) {
    return PositionOf(variables_, dynamic_cast<DbcEnvironmentVariable*>(variable));
}

IDbcAttributeDefinition* NetConfigDbcFile::GetAttributeDefinition(uint64_t index) {
    return ItemAt(definitions_, index);
}

IDbcAttributeDefinition* NetConfigDbcFile::FindAttributeDefinition(const char* name) {
    return name ? DefinitionByName(name) : nullptr;
}

IDbcSignal* NetConfigDbcFile::GetSignal(uint64_t index) {
    return ItemAt(allSignals_, index);
}

IDbcSignal* NetConfigDbcFile::FindSignal(uint32_t rawId, const char* name) {
    return name ? SignalOf(rawId, name) : nullptr;
}

uint32_t NetConfigDbcFile::IndexOfSignal(IDbcSignal* signal) {
    return PositionOf(allSignals_, dynamic_cast<DbcSignal*>(signal));
}

uint64_t NetConfigDbcFile::GetTotalSignalCount() {
    uint64_t total = 0;
    for (const auto& message : dbcMessages_) total += message->Signals().size();
    return total;
}

DbcNode* NetConfigDbcFile::AddNode(std::string name) {
    auto node = std::make_unique<DbcNode>(
        std::move(name), [this](DbcAttribute* attribute) { UnregisterAttribute(attribute); });
    DbcNode* added = node.get();
    nodes_.push_back(std::move(node));
    nodeIndex_.try_emplace(added->Name(), added);
    return added;
}

DbcMessage* NetConfigDbcFile::AddMessage(std::unique_ptr<DbcMessage> message) {
    DbcMessage* added = message.get();
    dbcMessages_.push_back(std::move(message));
    if (!IndexMessageId(added->RawId(), dbcMessages_.size() - 1)) duplicateMessageIds_ = true;
    if (messageNamesIndexed_) messageNameIndex_.try_emplace(added->Name(), added);
    return added;
}

namespace {

// The high half of a multiplication mixes every bit of the identifier into the low bits that
// pick the slot.
uint32_t HashOfRawId(uint32_t rawId) {
    return static_cast<uint32_t>((rawId * 0x9E3779B97F4A7C15ull) >> 32);
}

}  // namespace

bool NetConfigDbcFile::IndexMessageId(uint32_t rawId, size_t position) {
    const auto isUsed = [](const MessageIdSlot& slot) { return slot.position != 0; };
    if (!messageIdSlots_.empty()) {
        const size_t mask = messageIdSlots_.size() - 1;
        const uint32_t hash = HashOfRawId(rawId);
        for (size_t at = hash & mask; isUsed(messageIdSlots_[at]); at = (at + 1) & mask) {
            if (messageIdSlots_[at].rawId == rawId) return false;
        }
    }
    if ((position + 1) * 4 > messageIdSlots_.size() * 3) {
        platform::GrowTable(messageIdSlots_, 64, isUsed);
    }
    MessageIdSlot slot;
    slot.hash = HashOfRawId(rawId);
    slot.position = static_cast<uint32_t>(position + 1);
    slot.rawId = rawId;
    platform::PlaceInTable(messageIdSlots_, slot, isUsed);
    return true;
}

DbcEnvironmentVariable* NetConfigDbcFile::AddVariable(
    std::unique_ptr<DbcEnvironmentVariable> variable) {
    DbcEnvironmentVariable* added = variable.get();
    variables_.push_back(std::move(variable));
    variableIndex_.try_emplace(added->Name(), added);
    return added;
}

DbcAttributeDefinition* NetConfigDbcFile::AddDefinition(
    std::unique_ptr<DbcAttributeDefinition> definition) {
    DbcAttributeDefinition* added = definition.get();
    definitions_.push_back(std::move(definition));
    definitionIndex_.try_emplace(added->Name(), added);
    return added;
}

namespace {

template <class Map>
auto FindIn(const Map& map, const typename Map::key_type& key) -> typename Map::mapped_type {
    auto found = map.find(key);
    return found == map.end() ? nullptr : found->second;
}

}  // namespace

DbcNode* NetConfigDbcFile::NodeByName(std::string_view name) const {
    return FindIn(nodeIndex_, name);
}

DbcMessage* NetConfigDbcFile::MessageByRawId(uint32_t rawId) const {
    if (!duplicateMessageIds_) {
        for (size_t position : {lastMessage_ + 1, lastMessage_}) {
            if (position < dbcMessages_.size() && dbcMessages_[position]->RawId() == rawId) {
                lastMessage_ = position;
                return dbcMessages_[position].get();
            }
        }
    }
    if (messageIdSlots_.empty()) return nullptr;
    const size_t mask = messageIdSlots_.size() - 1;
    for (size_t at = HashOfRawId(rawId) & mask; messageIdSlots_[at].position != 0;
         at = (at + 1) & mask) {
        if (messageIdSlots_[at].rawId != rawId) continue;
        lastMessage_ = messageIdSlots_[at].position - 1;
        return dbcMessages_[lastMessage_].get();
    }
    return nullptr;
}

DbcMessage* NetConfigDbcFile::MessageByName(std::string_view name) const {
    if (!messageNamesIndexed_) {
        for (const auto& message : dbcMessages_) {
            messageNameIndex_.try_emplace(message->Name(), message.get());
        }
        messageNamesIndexed_ = true;
    }
    return FindIn(messageNameIndex_, name);
}

DbcSignal* NetConfigDbcFile::SignalOf(uint32_t rawId, std::string_view name) const {
    DbcMessage* message = MessageByRawId(rawId);
    return message ? message->SignalByName(name) : nullptr;
}

DbcEnvironmentVariable* NetConfigDbcFile::VariableByName(std::string_view name) const {
    return FindIn(variableIndex_, name);
}

DbcAttributeDefinition* NetConfigDbcFile::DefinitionByName(std::string_view name) const {
    return FindIn(definitionIndex_, name);
}

void NetConfigDbcFile::RebuildMessageIndexes() {
    messageIdSlots_ = {};
    messageNameIndex_.clear();
    messageNamesIndexed_ = false;
    duplicateMessageIds_ = false;
    for (size_t i = 0; i < dbcMessages_.size(); ++i) {
        if (!IndexMessageId(dbcMessages_[i]->RawId(), i)) duplicateMessageIds_ = true;
    }
}

void NetConfigDbcFile::DropRelationViews() {
    for (const auto& message : dbcMessages_) {
        message->Attributes().RemoveRelations();
        for (const auto& signal : message->Signals()) signal->Attributes().RemoveRelations();
    }
    for (const auto& variable : variables_) variable->Attributes().RemoveRelations();
}

void NetConfigDbcFile::UnregisterAttribute(DbcAttribute* attribute) {
    if (clearingAll_) return;
    // The object the relation names lists it. An edit may have given that object another
    // identifier since (the relation keeps the one it was read with), or another object may
    // now answer to it: then every object of the kind is searched, so that no list keeps a
    // relation that is about to be deleted.
    const auto removeFrom = [attribute](auto* found, const auto& all) {
        if (found != nullptr && found->Attributes().Remove(attribute)) return;
        for (const auto& object : all) {
            if (object->Attributes().Remove(attribute)) return;
        }
    };
    switch (attribute->RelationKind()) {
        case kObjectNodeTxMessage: {
            auto* relation = static_cast<DbcNodeTxMsgRelAttribute*>(attribute);
            removeFrom(MessageByRawId(relation->MessageId()), dbcMessages_);
            break;
        }
        case kObjectNodeRxSignal: {
            auto* relation = static_cast<DbcNodeRxSigRelAttribute*>(attribute);
            removeFrom(SignalOf(relation->MessageId(), relation->SignalName()), allSignals_);
            break;
        }
        case kObjectNodeEnvironmentVariable: {
            auto* relation = static_cast<DbcNodeEnvVarRelAttribute*>(attribute);
            removeFrom(VariableByName(relation->VariableName()), variables_);
            break;
        }
        default:
            break;
    }
}

}  // namespace qm::dbc
