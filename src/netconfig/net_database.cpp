#include "netconfig/net_database.h"

#include "netconfig/dbc_generation.h"
#include "netconfig/ldf_generation.h"
#include "netconfig/net_lookup.h"

template <class File>
void NetDataBase::FileSlot<File>::Reset() {
    if (owned) delete asFile;
    file = nullptr;
    asFile = nullptr;
    owned = false;
}

NetDataBase::~NetDataBase() {
    dbcFile_.Reset();
    ldfFile_.Reset();
}

void NetDataBase::Clear() {
    // Messages and ECUs hold plain pointers to the signals and to each other; everything goes
    // together.
    signals_.clear();
    messages_.clear();
    ecus_.clear();
    properties_.Clear();
    fileAttributes_.Clear();
    name_.clear();
    busType_ = kNetBusUnknown;
    fromArxml_ = 0;
    dbcFile_.Reset();
    ldfFile_.Reset();
    ecuByName_.Reset();
    messageByName_.Reset();
    messageById_.Reset();
    signalByName_.Reset();
}

// A database without a source file writes a freshly generated file object and drops it again,
// so that a save never disturbs the object that GetDbcFile or GetLdfFile handed out.
bool NetDataBase::SaveAs(const char* path) {
    if (busType_ == kNetBusCan) {
        if (dbcFile_.asFile != nullptr && !dbcFile_.owned) return dbcFile_.asFile->Save(path);
        const std::unique_ptr<INetFile> generated = NewGeneratedFile();
        return generated != nullptr && generated->Save(path);
    }
    if (busType_ == kNetBusLin) {
        if (ldfFile_.asFile != nullptr && !ldfFile_.owned) return ldfFile_.asFile->Save(path);
        const std::unique_ptr<INetFile> generated = NewGeneratedFile();
        return generated != nullptr && generated->Save(path);
    }
    return false;
}

INetConfigLdfFile* NetDataBase::GetLdfFile() {
    if (busType_ != kNetBusLin) return nullptr;
    if (ldfFile_.file == nullptr) GenerateLdfFile();
    return ldfFile_.file;
}

INetConfigDbcFile* NetDataBase::GetDbcFile() {
    if (busType_ != kNetBusCan) return nullptr;
    if (dbcFile_.file == nullptr) GenerateDbcFile();
    return dbcFile_.file;
}

INetEcu* NetDataBase::GetEcu(uint64_t index) {
    return qm::net::ItemAt(ecus_, index);
}

INetEcu* NetDataBase::FindEcu(const char* name) {
    return name == nullptr ? nullptr : EcuByName(name);
}

NetEcu* NetDataBase::EcuByName(const std::string& name) {
    return ecuByName_.Find(ecus_, name, [](NetEcu& ecu) { return std::string(ecu.GetName()); });
}

INetMessage* NetDataBase::FindMessage(const char* name) {
    if (name == nullptr) return nullptr;
    return messageByName_.Find(messages_, std::string(name),
                               [](NetMessage& message) { return std::string(message.GetName()); });
}

INetMessage* NetDataBase::FindMessage(uint32_t id) {
    return messageById_.Find(messages_, id, [](NetMessage& message) { return message.GetId(); });
}

INetMessage* NetDataBase::GetMessage(uint64_t index) {
    return qm::net::ItemAt(messages_, index);
}

INetSignal* NetDataBase::FindSignal(const char* name) {
    if (name == nullptr) return nullptr;
    return signalByName_.Find(signals_, std::string(name),
                              [](NetSignal& signal) { return std::string(signal.GetName()); });
}

INetSignal* NetDataBase::GetSignal(uint64_t index) {
    return qm::net::ItemAt(signals_, index);
}

INetAttribute* NetDataBase::FindFileAttribute(const char* name) {
    return fileAttributes_.Find(name);
}

INetAttribute* NetDataBase::GetFileAttribute(uint64_t index) {
    return fileAttributes_.At(index);
}

NetEcu* NetDataBase::AddEcu(std::unique_ptr<NetEcu> ecu) {
    ecus_.push_back(std::move(ecu));
    return ecus_.back().get();
}

NetMessage* NetDataBase::AddMessage(std::unique_ptr<NetMessage> message) {
    messages_.push_back(std::move(message));
    return messages_.back().get();
}

NetSignal* NetDataBase::AddSignal(std::unique_ptr<NetSignal> signal) {
    signals_.push_back(std::move(signal));
    return signals_.back().get();
}

void NetDataBase::SetSourceFile(INetConfigDbcFile* dbc, INetFile* asFile) {
    dbcFile_.Reset();
    dbcFile_.file = dbc;
    dbcFile_.asFile = asFile;
}

void NetDataBase::SetSourceFile(INetConfigLdfFile* ldf, INetFile* asFile) {
    ldfFile_.Reset();
    ldfFile_.file = ldf;
    ldfFile_.asFile = asFile;
}

INetFile* NetDataBase::CurrentFile() const {
    if (busType_ == kNetBusCan) return dbcFile_.asFile;
    if (busType_ == kNetBusLin) return ldfFile_.asFile;
    return nullptr;
}

void NetDataBase::GenerateDbcFile() {
    std::unique_ptr<INetConfigDbcFile> file = qm::net::GenerateDbcFile(*this);
    if (file == nullptr) return;
    dbcFile_.Reset();
    dbcFile_.file = file.get();
    dbcFile_.asFile = file.release();
    dbcFile_.owned = true;
}

void NetDataBase::GenerateLdfFile() {
    std::unique_ptr<INetConfigLdfFile> file = qm::net::GenerateLdfFile(*this);
    if (file == nullptr) return;
    ldfFile_.Reset();
    ldfFile_.file = file.get();
    ldfFile_.asFile = file.release();
    ldfFile_.owned = true;
}
std::unique_ptr<INetFile> NetDataBase::NewGeneratedFile() {
    if (busType_ == kNetBusCan) return qm::net::GenerateDbcFile(*this);
    if (busType_ == kNetBusLin) return qm::net::GenerateLdfFile(*this);
    return nullptr;
}
