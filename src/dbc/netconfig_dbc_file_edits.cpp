// The edit operations of the DBC file object: each changes the model, rewrites the file through
// Save(), and puts the old state back when the save fails, so that model and file never drift
// apart.
#include <utility>

#include "dbc/dbc_enums.h"
#include "dbc/netconfig_dbc_file.h"

namespace qm::dbc {

template <class Apply, class Restore>
bool NetConfigDbcFile::EditAndSave(Apply apply, Restore restore) {
    apply();
    if (Save()) return true;
    restore();
    return false;
}

bool NetConfigDbcFile::SetSignalName(uint32_t rawId, const char* name, const char* newName) {
    DbcSignal* signal = name ? SignalOf(rawId, name) : nullptr;
    if (!signal || !newName) return false;
    DbcMessage* message = signal->Message();
    std::string old(signal->Name());
    return EditAndSave(
        [&] {
            signal->SetName(newName);
            if (message) message->SignalNamesChanged();
        },
        [&] {
            signal->SetName(std::move(old));
            if (message) message->SignalNamesChanged();
        });
}

bool NetConfigDbcFile::SetSignalMultiplexIndicator(uint32_t rawId, const char* name,
                                                   const char* indicator) {
    DbcSignal* signal = name ? SignalOf(rawId, name) : nullptr;
    if (!signal || !indicator) return false;
    std::string old(signal->MultiplexIndicator());
    return EditAndSave([&] { signal->SetMultiplexIndicator(indicator); },
                       [&] { signal->SetMultiplexIndicator(std::move(old)); });
}

bool NetConfigDbcFile::SetSignalStartBit(uint32_t rawId, const char* name, uint16_t startBit) {
    DbcSignal* signal = name ? SignalOf(rawId, name) : nullptr;
    if (!signal) return false;
    const uint16_t old = signal->StartBit();
    return EditAndSave([&] { signal->SetStartBit(startBit); }, [&] { signal->SetStartBit(old); });
}

bool NetConfigDbcFile::SetSignalBitLength(uint32_t rawId, const char* name, uint16_t length) {
    DbcSignal* signal = name ? SignalOf(rawId, name) : nullptr;
    if (!signal) return false;
    const uint16_t old = signal->BitLength();
    return EditAndSave([&] { signal->SetBitLength(length); }, [&] { signal->SetBitLength(old); });
}

bool NetConfigDbcFile::SetSignalByteOrder(uint32_t rawId, const char* name, char byteOrder) {
    if (byteOrder != '0' && byteOrder != '1') return false;
    DbcSignal* signal = name ? SignalOf(rawId, name) : nullptr;
    if (!signal) return false;
    const char old = signal->ByteOrderChar();
    return EditAndSave([&] { signal->SetByteOrderChar(byteOrder); },
                       [&] { signal->SetByteOrderChar(old); });
}

bool NetConfigDbcFile::SetSignalValueType(uint32_t rawId, const char* name, char valueType) {
    if (valueType != '+' && valueType != '-') return false;
    DbcSignal* signal = name ? SignalOf(rawId, name) : nullptr;
    if (!signal) return false;
    const char old = signal->ValueTypeChar();
    return EditAndSave([&] { signal->SetValueTypeChar(valueType); },
                       [&] { signal->SetValueTypeChar(old); });
}

// The value and decimals change; the stored text stays as read. The exponent flag is kept
// too and only put back on failure, as the edit does not choose a notation.
bool NetConfigDbcFile::EditSignalNumber(uint32_t rawId, const char* name,
                                        DbcNumber& (DbcSignal::*number)(), double value,
                                        uint8_t decimals) {
    DbcSignal* signal = name ? SignalOf(rawId, name) : nullptr;
    if (!signal) return false;
    DbcNumber& target = (signal->*number)();
    const DbcNumber old = target;
    return EditAndSave(
        [&] {
            target.value = value;
            target.decimals = decimals;
        },
        [&] {
            target.value = old.value;
            target.decimals = old.decimals;
            target.exponent = old.exponent;
        });
}

bool NetConfigDbcFile::SetSignalFactor(uint32_t rawId, const char* name, double factor,
                                       uint8_t decimals) {
    return EditSignalNumber(rawId, name, &DbcSignal::Factor, factor, decimals);
}

bool NetConfigDbcFile::SetSignalOffset(uint32_t rawId, const char* name, double offset,
                                       uint8_t decimals) {
    return EditSignalNumber(rawId, name, &DbcSignal::Offset, offset, decimals);
}

bool NetConfigDbcFile::SetSignalMinimum(uint32_t rawId, const char* name, double minimum,
                                        uint8_t decimals) {
    return EditSignalNumber(rawId, name, &DbcSignal::Minimum, minimum, decimals);
}

bool NetConfigDbcFile::SetSignalMaximum(uint32_t rawId, const char* name, double maximum,
                                        uint8_t decimals) {
    return EditSignalNumber(rawId, name, &DbcSignal::Maximum, maximum, decimals);
}

bool NetConfigDbcFile::SetSignalUnit(uint32_t rawId, const char* name, const char* unit) {
    DbcSignal* signal = name ? SignalOf(rawId, name) : nullptr;
    if (!signal || !unit) return false;
    std::string old(signal->Unit());
    return EditAndSave([&] { signal->SetUnit(unit); }, [&] { signal->SetUnit(std::move(old)); });
}

bool NetConfigDbcFile::SetMessageId(uint32_t rawId, uint32_t newRawId) {
    DbcMessage* message = MessageByRawId(rawId);
    if (!message) return false;
    return EditAndSave(
        [&] {
            message->SetRawId(newRawId);
            RebuildMessageIndexes();
        },
        [&] {
            message->SetRawId(rawId);
            RebuildMessageIndexes();
        });
}

bool NetConfigDbcFile::SetMessageName(uint32_t rawId, const char* name) {
    DbcMessage* message = MessageByRawId(rawId);
    if (!message || !name) return false;
    std::string old = message->Name();
    return EditAndSave(
        [&] {
            message->SetName(name);
            RebuildMessageIndexes();
        },
        [&] {
            message->SetName(std::move(old));
            RebuildMessageIndexes();
        });
}

bool NetConfigDbcFile::SetMessageSize(uint32_t rawId, uint8_t size) {
    DbcMessage* message = MessageByRawId(rawId);
    if (!message) return false;
    const uint8_t old = message->Size();
    return EditAndSave([&] { message->SetSize(size); }, [&] { message->SetSize(old); });
}

}  // namespace qm::dbc
