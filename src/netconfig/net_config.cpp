#include "netconfig/net_config.h"

#include <algorithm>

#include "arxml_com/netconfig_arxml_file.h"
#include "dbc/netconfig_dbc_file.h"
#include "ldf/netconfig_ldf_file.h"
#include "netconfig/arxml_conversion.h"
#include "netconfig/dbc_conversion.h"
#include "netconfig/ldf_conversion.h"
#include "netconfig/net_frame_diagnostic.h"
#include "netconfig/net_lookup.h"
#include "platform/paths.h"
#include "quillmere/xml.h"

NetConfig::NetConfig() : xml_(new NanoXML("NetConfig", "", 0)) {}

NetConfig::~NetConfig() {
    Clear();
    delete xml_;
}

void NetConfig::Clear() {
    // The databases refer to the file objects; they go first.
    databases_.clear();
    files_.clear();
    lastMessages_.clear();
    fileFlag_ = 1;
    ResetXmlNode();
}

void NetConfig::ResetXmlNode() {
    if (NanoXML* parent = xml_->parent) std::erase(parent->children, xml_);
    NanoXML::ClearMessageLog();
    xml_->DeleteAttributes();
    xml_->DeleteChildren();
    xml_->text.clear();
    xml_->flags = 0;
    xml_->link = nullptr;
    xml_->parent = nullptr;
    xml_->name = "NetConfig";
}

uint8_t NetConfig::LoadLdf(const wchar_t* path) {
    auto* file = new NetConfigLdfFile();
    files_.emplace_back(file);
    file->SetTolerantReading(tolerantLdf_);
    const bool loaded = file->Load(path);
    lastMessages_ = file->GetMessages();
    if (!loaded) return file->GetResultCode() == 254 ? kNetLoadFileNotOpened : kNetLoadFailed;
    auto database = std::make_unique<NetDataBase>();
    qm::net::ConvertLdfFile(*file, *database);
    fileFlag_ = file->GetLastLoadResult();
    databases_.push_back(std::move(database));
    return kNetLoadOk;
}

uint8_t NetConfig::LoadLdf(const char* path) {
    return LoadLdf(qm::platform::Widen(path ? path : "").c_str());
}

uint8_t NetConfig::LoadDbc(const wchar_t* path) {
    return LoadDbc(qm::platform::Narrow(path ? path : L"").c_str());
}

uint8_t NetConfig::LoadDbc(const char* path) {
    auto* file = new NetConfigDbcFile();
    files_.emplace_back(file);
    file->SetTolerantReading(tolerantDbc_);
    const bool loaded = file->Load(path);
    lastMessages_ = file->GetMessages();
    const uint32_t status = file->GetStatus();
    if (!loaded) {
        switch (status) {
            case 5:
                return kNetLoadFileNotOpened;
            case 3:
                return kNetLoadUnsupportedKeyword;
            case 4:
                return kNetLoadUndefinedTag;
            default:
                return kNetLoadFailed;
        }
    }
    auto database = std::make_unique<NetDataBase>();
    qm::net::ConvertDbcFile(*file, *database);
    fileFlag_ = static_cast<int>(file->LastHandlerResult());
    databases_.push_back(std::move(database));
    return status == 2 ? kNetLoadWithWarnings : kNetLoadOk;
}

// The ARXML file object lives only as long as the conversion.
uint8_t NetConfig::LoadArxml(const wchar_t* path) {
    const auto file = std::make_unique<NetConfigArxmlFile>();
    file->SetReadingMode(arxmlReadingMode_);
    const bool loaded = file->Load(path);
    lastMessages_ = file->GetMessages();
    if (!loaded) return kNetLoadFailed;
    file->SetPath(path);
    for (auto& database : qm::net::ConvertArxmlFile(*file)) {
        databases_.push_back(std::move(database));
    }
    return kNetLoadOk;
}

uint8_t NetConfig::LoadArxml(const char* path) {
    return LoadArxml(qm::platform::Widen(path ? path : "").c_str());
}

uint8_t NetConfig::LoadFibex(const wchar_t*) {
    return kNetLoadFormatNotSupported;
}

uint8_t NetConfig::LoadFibex(const char* path) {
    return LoadFibex(qm::platform::Widen(path ? path : "").c_str());
}

INetFile* NetConfig::GetFile(uint64_t index) {
    return qm::net::ItemAt(files_, index);
}

uint64_t NetConfig::CountFiles(int32_t type) const {
    return std::count_if(files_.begin(), files_.end(),
                         [type](const auto& file) { return file->GetFileType() == type; });
}

INetFile* NetConfig::FirstFile(int32_t type) const {
    for (const auto& file : files_) {
        if (file->GetFileType() == type) return file.get();
    }
    return nullptr;
}

INetConfigDbcFile* NetConfig::GetDbcFile() {
    return dynamic_cast<INetConfigDbcFile*>(FirstFile(kNetFileDbc));
}

INetConfigLdfFile* NetConfig::GetLdfFile() {
    return dynamic_cast<INetConfigLdfFile*>(FirstFile(kNetFileLdf));
}

bool NetConfig::SaveLdf(const char* path, uint64_t index) {
    NetDataBase* database = qm::net::ItemAt(databases_, index);
    if (database == nullptr || database->GetBusType() != kNetBusLin || fileFlag_ == 0) {
        return false;
    }
    INetConfigLdfFile* file = database->GetLdfFile();
    return file != nullptr && file->Save(path);
}

bool NetConfig::SaveDbc(const char* path, uint64_t index) {
    NetDataBase* database = qm::net::ItemAt(databases_, index);
    if (database == nullptr || database->GetBusType() != kNetBusCan || fileFlag_ == 0) {
        return false;
    }
    INetConfigDbcFile* file = database->GetDbcFile();
    return file != nullptr && file->Save(path);
}

const char* NetConfig::GetInfoText() {
    infoText_.clear();
    for (auto it = databases_.rbegin(); it != databases_.rend(); ++it) {
        const uint32_t busType = (*it)->GetBusType();
        if (busType != kNetBusCan && busType != kNetBusLin) continue;
        INetFile* file = (*it)->CurrentFile();
        if (file == nullptr) continue;
        const char* text = file->GetInfoText();
        infoText_ = text ? text : "";
        break;
    }
    return infoText_.c_str();
}

INetDataBase* NetConfig::GetDataBase(uint64_t index) {
    return qm::net::ItemAt(databases_, index);
}

INetDataBase* NetConfig::GetFirstDataBase() {
    return databases_.empty() ? nullptr : databases_.front().get();
}

INetDataBase* NetConfig::GetLastDataBase() {
    return databases_.empty() ? nullptr : databases_.back().get();
}

INetDataBase* NetConfig::FindDataBase(const char* name) {
    return qm::net::FindByName(databases_, name);
}

INetFrameDiagnostic* NetConfig::CreateFrameDiagnostic() {
    return new NetFrameDiagnostic();
}

const char* NetConfig::GetFibexInfoText() {
    fibexInfoText_.clear();
    return fibexInfoText_.c_str();
}

bool NetConfig::SetArxmlReadingMode(int32_t mode) {
    if (mode != kArxmlReadExact && mode != kArxmlReadWholeDocument) return false;
    arxmlReadingMode_ = mode;
    return true;
}
