#include "dbc/dbc_message.h"
#include "dbc/dbc_tokens.h"

#include <algorithm>
#include <cstdlib>
#include <iterator>

#include "dbc/dbc_lists.h"
#include "dbc/dbc_node.h"

namespace qm::dbc {

DbcMessage::~DbcMessage() {
    attributes_.DeleteAll(false);
}

void DbcMessage::Clear() {
    rawId_ = 0;
    name_.clear();
    size_ = 0;
    transmitter_ = nullptr;
    comment_.clear();
    SignalNamesChanged();
    // The file's list of all signals and the nodes' received signals still name the signals:
    // they are emptied and kept (their storage is the file's pool anyway), not destroyed.
    for (DbcSignalPtr& signal : signals_) {
        signal->Clear();
        cleared_.push_back(std::move(signal));
    }
    signals_.clear();
    attributes_.DeleteAll(false);
    transmitters_.clear();
    signalGroups_.clear();
}

uint32_t DbcMessage::AttributeNumber(const char* name) {
    const DbcAttribute* attribute = attributes_.Find(name);
    if (!attribute) return 0xFFFFFFFF;
    return static_cast<uint32_t>(StrToI32(attribute->Value().c_str()));
}

uint32_t DbcMessage::GetCycleTime() {
    return AttributeNumber("GenMsgCycleTime");
}

uint32_t DbcMessage::GetDelayTime() {
    return AttributeNumber("GenMsgDelayTime");
}

IDbcNode* DbcMessage::GetTransmitter() {
    return transmitter_;
}

IDbcSignal* DbcMessage::GetSignal(uint64_t index) {
    return ItemAt(signals_, index);
}

IDbcSignal* DbcMessage::FindSignal(const char* name) {
    return name ? SignalByName(name) : nullptr;
}

void DbcMessage::SortSignalsByStartBit(bool) {
    std::stable_sort(signals_.begin(), signals_.end(),
                     [](const auto& a, const auto& b) { return a->StartBit() < b->StartBit(); });
    SignalNamesChanged();
}

void DbcMessage::SortSignalsByName(bool) {
    std::stable_sort(signals_.begin(), signals_.end(),
                     [](const auto& a, const auto& b) { return a->Name() < b->Name(); });
    SignalNamesChanged();
}

IDbcNode* DbcMessage::GetTransmitterAt(uint64_t index) {
    return ItemAt(transmitters_, index);
}

IDbcSignalGroup* DbcMessage::GetSignalGroup(uint64_t index) {
    return ItemAt(signalGroups_, index);
}

IDbcSignalGroup* DbcMessage::FindSignalGroup(const char* name) {
    return FindByName(signalGroups_, name);
}

namespace {

size_t SlotCountFor(size_t signals) {
    size_t slots = 16;
    while (slots * 3 < signals * 4 + 4) slots *= 2;
    return slots;
}

size_t HashOfName(std::string_view name) {
    return std::hash<std::string_view>{}(name);
}

}  // namespace

void DbcMessage::AddSignals(std::vector<DbcSignalPtr>& signals) {
    if (signals.empty()) return;
    // Exact for the usual single batch of a message; doubling when batches keep coming.
    const size_t wanted = signals_.size() + signals.size();
    if (wanted > signals_.capacity()) {
        signals_.reserve(signals_.empty() ? wanted : std::max(wanted, signals_.capacity() * 2));
    }
    if (signalSlots_.empty()) {
        // No name index to keep up (reading never asks for one): moved as a whole.
        signals_.insert(signals_.end(), std::make_move_iterator(signals.begin()),
                        std::make_move_iterator(signals.end()));
    } else {
        for (DbcSignalPtr& signal : signals) AddSignal(std::move(signal));
    }
    signals.clear();
}

DbcSignal* DbcMessage::AddSignal(DbcSignalPtr signal) {
    DbcSignal* added = signal.get();
    signals_.push_back(std::move(signal));
    if (!signalSlots_.empty()) {
        if (SlotCountFor(signals_.size()) > signalSlots_.size()) {
            BuildSignalIndex();
        } else if (!IndexSignal(signals_.size() - 1)) {
            duplicateSignalNames_ = true;
        }
    }
    return added;
}

bool DbcMessage::IndexSignal(size_t position) const {
    const std::string_view name = signals_[position]->Name();
    const size_t mask = signalSlots_.size() - 1;
    for (size_t slot = HashOfName(name) & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = signalSlots_[slot];
        if (entry == 0) {
            signalSlots_[slot] = static_cast<uint32_t>(position + 1);
            return true;
        }
        if (signals_[entry - 1]->Name() == name) return false;
    }
}

void DbcMessage::BuildSignalIndex() const {
    signalSlots_.assign(SlotCountFor(signals_.size()), 0);
    duplicateSignalNames_ = false;
    for (size_t i = 0; i < signals_.size(); ++i) {
        if (!IndexSignal(i)) duplicateSignalNames_ = true;
    }
}

DbcSignal* DbcMessage::IndexedSignal(std::string_view name) const {
    const size_t mask = signalSlots_.size() - 1;
    for (size_t slot = HashOfName(name) & mask;; slot = (slot + 1) & mask) {
        const uint32_t entry = signalSlots_[slot];
        if (entry == 0) return nullptr;
        if (signals_[entry - 1]->Name() == name) {
            lastFound_ = entry - 1;
            return signals_[entry - 1].get();
        }
    }
}

DbcSignal* DbcMessage::GuessNextSignal(std::string_view name) const {
    for (size_t position : {lastFound_ + 1, lastFound_}) {
        if (position < signals_.size() && signals_[position]->Name() == name) {
            lastFound_ = position;
            return signals_[position].get();
        }
    }
    return nullptr;
}

DbcSignal* DbcMessage::SignalByName(std::string_view name) const {
    if (signalSlots_.empty() && signals_.size() > kIndexThreshold) BuildSignalIndex();
    if (!signalSlots_.empty()) {
        if (!duplicateSignalNames_) {
            if (DbcSignal* guessed = GuessNextSignal(name)) return guessed;
        }
        return IndexedSignal(name);
    }
    for (const auto& signal : signals_) {
        if (signal->Name() == name) return signal.get();
    }
    return nullptr;
}

}  // namespace qm::dbc
