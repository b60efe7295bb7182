// The container form of the diagnostic library: writing the model as a "DiagnoseLib" subtree
// and rebuilding ECUs, classes and services from such subtrees.
#include <memory>

#include "diag/diag_tables.h"
#include "diag/diag_xml.h"
#include "diag/diagnose_lib.h"
#include "platform/clock.h"
#include "platform/files.h"

namespace {

constexpr std::string_view kDeclaration =
    "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

size_t CountAttributesBelow(const NanoXML* node) {
    size_t count = 0;
    std::vector<const NanoXML*> pending(node->children.begin(), node->children.end());
    while (!pending.empty()) {
        const NanoXML* current = pending.back();
        pending.pop_back();
        count += current->attributes.size();
        pending.insert(pending.end(), current->children.begin(), current->children.end());
    }
    return count;
}

size_t CountElementsBelow(const NanoXML* node) {
    size_t count = 0;
    std::vector<const NanoXML*> pending(node->children.begin(), node->children.end());
    while (!pending.empty()) {
        const NanoXML* current = pending.back();
        pending.pop_back();
        ++count;
        pending.insert(pending.end(), current->children.begin(), current->children.end());
    }
    return count;
}

}  // namespace

NanoXML* CDiagnoseLib::NewContainerNode() {
    auto* node = new NanoXML("DiagnoseLib", "", 0);
    node->SetAttribute("version", qm::diag::LibraryVersionText(" (Development)").c_str());
    node->SetAttribute("dateCreated", qm::platform::LocalTimeText().c_str());
    return node;
}

bool CDiagnoseLib::AddStatistics(NanoXML* node) {
    if (node == nullptr) return false;
    node->SetAttribute("totalSubCount", std::to_string(CountElementsBelow(node)).c_str());
    const size_t params = node->attributes.size() + CountAttributesBelow(node);
    node->SetAttribute("totalParamsCount", std::to_string(params).c_str());
    node->SetAttribute("timeXml", std::to_string(timeXml_).c_str());
    node->SetAttribute("timeCdd", std::to_string(timeCdd_).c_str());
    node->SetAttribute("timeOdx", std::to_string(timeOdx_).c_str());
    return true;
}

NanoXML* CDiagnoseLib::ServiceToXml(IUDSService* service) {
    auto* concrete = dynamic_cast<CUDSService*>(service);
    if (concrete == nullptr) return nullptr;
    NanoXML* node = NewContainerNode();
    node->AddChild(qm::diag::ServiceToElement(*concrete));
    AddStatistics(node);
    return node;
}

NanoXML* CDiagnoseLib::FunctionalClassToXml(IFunctionalClass* cls) {
    auto* concrete = dynamic_cast<CFunctionalClass*>(cls);
    if (concrete == nullptr) return nullptr;
    NanoXML* node = NewContainerNode();
    node->AddChild(qm::diag::FunctionalClassToElement(*concrete));
    AddStatistics(node);
    return node;
}

NanoXML* CDiagnoseLib::EcuToXml(IECU* ecu) {
    auto* concrete = dynamic_cast<CECU*>(ecu);
    if (concrete == nullptr) return nullptr;
    NanoXML* node = NewContainerNode();
    node->AddChild(qm::diag::EcuToElement(*concrete));
    AddStatistics(node);
    return node;
}

bool CDiagnoseLib::WriteElement(const char* path, NanoXML* element) {
    if (element == nullptr || path == nullptr) {
        delete element;
        return false;
    }
    std::string content(kDeclaration);
    content += element->Serialize(0, false);
    delete element;
    const qm::platform::FileStatus status = qm::platform::WriteFileAtomic(path, content);
    if (!status.ok && !status.opened) {
        NanoXML::AppendMessage("NanoXML::SaveFile error nr " + std::to_string(status.errorNumber) +
                               ": " + status.errorText + "\r\n");
    }
    return status.ok;
}

bool CDiagnoseLib::SaveServiceXml(const char* path, IUDSService* service) {
    return WriteElement(path, ServiceToXml(service));
}

bool CDiagnoseLib::SaveFunctionalClassXml(const char* path, IFunctionalClass* cls) {
    return WriteElement(path, FunctionalClassToXml(cls));
}

bool CDiagnoseLib::SaveEcuXml(const char* path, IECU* ecu) {
    return WriteElement(path, EcuToXml(ecu));
}

NanoXML* CDiagnoseLib::ExportContainer() {
    NanoXML* node = NewContainerNode();
    node->children.reserve(ecus_.size() + extDocuments_.size());
    for (auto& ecu : ecus_) node->AddChild(qm::diag::EcuToElement(*ecu));
    for (auto& document : extDocuments_) node->AddChild(qm::diag::ExtDocumentToElement(*document));
    AddStatistics(node);
    return node;
}

bool CDiagnoseLib::SaveXml(const char* path) {
    return WriteElement(path, ExportContainer());
}

uint8_t CDiagnoseLib::LoadEcus(NanoXML* node) {
    if (node == nullptr || node->name != "DiagnoseLib") return 0;
    uint8_t any = 0;
    for (NanoXML* child : node->children) {
        if (child->name != "ECU") continue;
        auto ecu = std::make_unique<CECU>();
        if (!qm::diag::EcuFromElement(child, *ecu)) continue;
        ecus_.push_back(std::move(ecu));
        any = 1;
    }
    return any;
}

uint8_t CDiagnoseLib::LoadFunctionalClasses(NanoXML* node, IECU* ecu) {
    auto* target = dynamic_cast<CECU*>(ecu);
    if (node == nullptr || target == nullptr || node->name != "DiagnoseLib") return 0;
    uint8_t any = 0;
    for (NanoXML* child : node->children) {
        if (child->name != "FunctionalClass") continue;
        auto cls = std::make_unique<CFunctionalClass>();
        if (!qm::diag::FunctionalClassFromElement(child, *cls)) continue;
        target->functionalClasses.push_back(std::move(cls));
        any = 1;
    }
    return any;
}

uint8_t CDiagnoseLib::LoadServices(NanoXML* node, IFunctionalClass* cls) {
    auto* target = dynamic_cast<CFunctionalClass*>(cls);
    if (node == nullptr || target == nullptr || node->name != "DiagnoseLib") return 0;
    uint8_t any = 0;
    for (NanoXML* child : node->children) {
        if (child->name != "Service") continue;
        auto service = std::make_unique<CUDSService>();
        if (!qm::diag::ServiceFromElement(child, *service)) continue;
        target->services.push_back(std::move(service));
        any = 1;
    }
    return any;
}

uint8_t CDiagnoseLib::LoadAttachedContainers() {
    uint8_t any = 0;
    for (NanoXML* child : sourceTree_.children) {
        if (child->name == "DiagnoseLib" && LoadEcus(child) == 1) any = 1;
    }
    return any;
}

uint32_t CDiagnoseLib::AttachContainer(NanoXML* root, const char* source) {
    if (root == nullptr || root->name != "KOVR") return 0;
    NanoXML* container = root->GetChild(std::string("DiagnoseLib"));
    if (container == nullptr) return 0;
    MoveUnderSourceTree(container, source ? source : "");
    return 1;
}

uint8_t CDiagnoseLib::LoadContainerText(const char* text, uint8_t process) {
    if (text == nullptr || *text == '\0') return 0;
    auto document = std::make_unique<NanoXML>("kovrFile", text, 1);
    if (document->children.empty()) return 0;
    NanoXML* first = document->children.front();
    document->children.erase(document->children.begin());
    first->parent = nullptr;
    const uint32_t attached = AttachContainer(first, "");
    // The rest of the document (the emptied "KOVR" element) is no longer needed.
    delete first;
    if (attached != 0 && process == 1) BuildModel();
    return static_cast<uint8_t>(attached);
}
