// The editing operations: each changes one field, rewrites the file in place and puts the old
// value back when that write fails, so that model and file change together or not at all.
#include "ldf/netconfig_ldf_file.h"

namespace qm::ldf {

template <class Apply, class Undo>
uint8_t NetConfigLdfFile::EditAndSave(Apply apply, Undo undo) {
    apply();
    if (Save()) return 1;
    undo();
    return 0;
}

uint8_t NetConfigLdfFile::RenameSignal(const char* oldName, const char* newName) {
    LdfStandardSignal* signal = model_.standardSignalIndex.Find(oldName);
    if (!signal || !newName) return 0;
    const std::string previous = signal->name;
    const std::string next = newName;
    auto rename = [&](const std::string& name) {
        signal->name = name;
        model_.RebuildSignalIndexes();
    };
    return EditAndSave([&] { rename(next); }, [&] { rename(previous); });
}

uint8_t NetConfigLdfFile::SetSignalSize(const char* name, uint8_t bits) {
    LdfStandardSignal* signal = model_.standardSignalIndex.Find(name);
    if (!signal) return 0;
    const uint8_t previous = signal->size;
    return EditAndSave([&] { signal->size = bits; }, [&] { signal->size = previous; });
}

uint8_t NetConfigLdfFile::SetSignalInitialValues(const char* name, const uint16_t* values,
                                                 uint64_t count) {
    LdfStandardSignal* signal = model_.standardSignalIndex.Find(name);
    if (!signal || (!values && count > 0)) return 0;
    const InitialValues previous = signal->initialValues;
    InitialValues next;
    next.assign(values, values + count);
    return EditAndSave([&] { signal->initialValues = next; },
                       [&] { signal->initialValues = previous; });
}

uint8_t NetConfigLdfFile::SetSignalInitialValue(const char* name, uint16_t value, uint64_t index) {
    LdfStandardSignal* signal = model_.standardSignalIndex.Find(name);
    if (!signal || index >= signal->initialValues.size()) return 0;
    const uint16_t previous = signal->initialValues[index];
    return EditAndSave([&] { signal->initialValues[index] = value; },
                       [&] { signal->initialValues[index] = previous; });
}

uint8_t NetConfigLdfFile::SetSignalBitOffset(const char* name, uint16_t bitOffset) {
    LdfStandardSignal* signal = model_.standardSignalIndex.Find(name);
    if (!signal) return 0;
    const uint16_t previous = signal->bitOffset;
    return EditAndSave([&] { signal->bitOffset = bitOffset; },
                       [&] { signal->bitOffset = previous; });
}

uint8_t NetConfigLdfFile::RenameFrame(const char* oldName, const char* newName) {
    LdfUnconditionalFrame* frame = model_.unconditionalFrameIndex.Find(oldName);
    if (!frame || !newName) return 0;
    const std::string previous = frame->name;
    const std::string next = newName;
    auto rename = [&](const std::string& name) {
        frame->name = name;
        model_.RebuildFrameIndexes();
    };
    return EditAndSave([&] { rename(next); }, [&] { rename(previous); });
}

uint8_t NetConfigLdfFile::SetFrameLength(const char* name, uint8_t bytes) {
    LdfUnconditionalFrame* frame = model_.unconditionalFrameIndex.Find(name);
    if (!frame) return 0;
    const uint8_t previous = frame->length;
    return EditAndSave([&] { frame->length = bytes; }, [&] { frame->length = previous; });
}

uint8_t NetConfigLdfFile::SetFrameId(const char* name, uint8_t frameId) {
    LdfUnconditionalFrame* frame = model_.unconditionalFrameIndex.Find(name);
    if (!frame) return 0;
    const uint8_t previous = frame->frameId;
    auto setId = [&](uint8_t id) {
        frame->frameId = id;
        model_.RebuildFrameIndexes();
    };
    return EditAndSave([&] { setId(frameId); }, [&] { setId(previous); });
}

}  // namespace qm::ldf
