#include "facade/quillmere.h"

#include <memory>

#include "facade/container_file.h"
#include "facade/instance_registry.h"

Quillmere::Quillmere() : info_(new NanoXML()) {
    ResetInfoNode();
}

Quillmere::~Quillmere() {
    DetachInfoNode();
    Clear();
    delete info_;
}

void Quillmere::DetachInfoNode() {
    NanoXML* parent = info_->parent;
    if (parent == nullptr) return;
    std::erase(parent->children, info_);
    info_->parent = nullptr;
}

void Quillmere::ResetInfoNode() {
    info_->DeleteAttributes();
    info_->DeleteChildren();
    info_->text.clear();
    info_->flags = 0;
    info_->link = nullptr;
    info_->parent = nullptr;
    info_->name = "Quillmere";
    info_->SetAttribute("Version", GetVersion());
    info_->SetAttribute("BuildDate", GetBuildDate());
}

void Quillmere::Clear() {
    // Each configuration detaches its own element from the info element when destroyed.
    netConfigs_.DestroyAll();
    dbcFiles_.DestroyAll();
    ldfFiles_.DestroyAll();
    arxmlFiles_.DestroyAll();
    diagnoseLibs_.DestroyAll();
    // Whatever still hangs under the info element is removed and destroyed with it.
    info_->DeleteChildren();
    NanoXML::ClearMessageLog();
    ResetInfoNode();
}

bool Quillmere::LoadFromFile(const char* path) {
    if (path == nullptr) return false;
    auto document = std::make_unique<NanoXML>();
    if (!document->LoadFile(path)) return false;
    NanoXML* frame = document->GetChild(std::string("Quillmere"));
    if (frame == nullptr) return false;
    // The imports take the elements they keep out of the document, which then holds nothing
    // that anything points into and goes when this call ends. The child list is copied
    // because the imports change it.
    const std::vector<NanoXML*> children = frame->children;
    for (NanoXML* child : children) {
        if (child->name == "DiagnoseLib" && !diagnoseLibs_.Empty()) {
            AdoptLibraryContent(*diagnoseLibs_.Newest(), child);
        } else if (child->name == "NetConfig" && !netConfigs_.Empty()) {
            netConfigs_.Newest()->ImportContainer(child);
        }
    }
    return true;
}

void Quillmere::AdoptLibraryContent(CDiagnoseLib& library, NanoXML* container) {
    // Every child moves, in order, into the library's own element; the next BuildModel turns
    // the "ECU" children back into ECUs. Taking the whole list at once keeps the move linear.
    std::vector<NanoXML*> moved;
    moved.swap(container->children);
    NanoXML* target = library.SourceTree();
    target->children.reserve(target->children.size() + moved.size());
    for (NanoXML* child : moved) {
        child->parent = nullptr;
        target->AddChild(child);
    }
}

bool Quillmere::SaveToFile(const char* path) {
    if (path == nullptr) return false;
    // Every network configuration, then every diagnostic library, in creation order. Each
    // export is written and released before the next is made, which keeps the peak memory of a
    // save to the largest single export.
    std::vector<qm::facade::ElementMaker> makers;
    for (NetConfig* config : netConfigs_.Items()) {
        makers.emplace_back([config] { return config->ExportContainer(); });
    }
    for (CDiagnoseLib* library : diagnoseLibs_.Items()) {
        makers.emplace_back([library] { return library->ExportContainer(); });
    }
    return qm::facade::WriteContainerFile(makers, path);
}

INetConfig* Quillmere::CreateNetConfig() {
    NetConfig* config = netConfigs_.Add(new NetConfig());
    info_->AddChild(config->GetXmlNode());
    return config;
}

INetConfigDbcFile* Quillmere::CreateDbcFile() {
    return dbcFiles_.Add(new NetConfigDbcFile());
}

INetConfigLdfFile* Quillmere::CreateLdfFile() {
    return ldfFiles_.Add(new NetConfigLdfFile());
}

INetConfigArxmlFile* Quillmere::CreateArxmlFile() {
    return arxmlFiles_.Add(new NetConfigArxmlFile());
}

IDiagnoseLib* Quillmere::CreateDiagnoseLib() {
    CDiagnoseLib* library = diagnoseLibs_.Add(new CDiagnoseLib());
    info_->AddChild(library->SourceTree());
    return library;
}
IArxmlDatabase* Quillmere::CreateArxmlDatabase() {
    return arxmlDatabases_.Add(new CArxmlDatabase());
}
bool Quillmere::DeleteNetConfig(INetConfig* object) {
    return netConfigs_.Remove(object);
}

bool Quillmere::DeleteDbcFile(INetConfigDbcFile* object) {
    return dbcFiles_.Remove(object);
}

bool Quillmere::DeleteLdfFile(INetConfigLdfFile* object) {
    return ldfFiles_.Remove(object);
}

bool Quillmere::DeleteArxmlFile(INetConfigArxmlFile* object) {
    return arxmlFiles_.Remove(object);
}

bool Quillmere::DeleteDiagnoseLib(IDiagnoseLib* object) {
    return diagnoseLibs_.Remove(object);
}
bool Quillmere::DeleteArxmlDatabase(IArxmlDatabase* object) {
    return arxmlDatabases_.Remove(object);
}

NanoXML* Quillmere::GetXml() {
    return info_;
}
const char* Quillmere::GetVersion() {
    return kVersion;
}
const char* Quillmere::GetBuildDate() {
    return kBuildDate;
}

extern "C" {

QM_API IQuillmere* CreateQuillmereInstance() {
    auto* instance = new Quillmere();
    qm::facade::RegisterInstance(instance);
    return instance;
}

QM_API bool DeleteQuillmereInstance(IQuillmere* instance) {
    return qm::facade::DestroyInstance(instance);
}
}
