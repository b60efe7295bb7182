#include "dbc/dbc_message.h"
#include "dbc/dbc_tokens.h"

#include <algorithm>
#include <cstdlib>

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
    signalIndex_.reset();
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

DbcSignal* DbcMessage::AddSignal(std::unique_ptr<DbcSignal> signal) {
    DbcSignal* added = signal.get();
    signals_.push_back(std::move(signal));
    if (signalIndex_ && !signalIndex_->try_emplace(added->Name(), signals_.size() - 1).second) {
        duplicateSignalNames_ = true;
    }
    return added;
}

void DbcMessage::BuildSignalIndex() const {
    signalIndex_ = std::make_unique<std::unordered_map<std::string_view, size_t>>();
    signalIndex_->reserve(signals_.size() * 2);
    duplicateSignalNames_ = false;
    for (size_t i = 0; i < signals_.size(); ++i) {
        if (!signalIndex_->try_emplace(signals_[i]->Name(), i).second) duplicateSignalNames_ = true;
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
    if (!signalIndex_ && signals_.size() > kIndexThreshold) BuildSignalIndex();
    if (signalIndex_) {
        if (!duplicateSignalNames_) {
            if (DbcSignal* guessed = GuessNextSignal(name)) return guessed;
        }
        auto found = signalIndex_->find(name);
        if (found == signalIndex_->end()) return nullptr;
        lastFound_ = found->second;
        return signals_[found->second].get();
    }
    for (const auto& signal : signals_) {
        if (signal->Name() == name) return signal.get();
    }
    return nullptr;
}

}  // namespace qm::dbc
