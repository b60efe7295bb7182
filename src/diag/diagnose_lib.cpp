#include "diag/diagnose_lib.h"

#include <algorithm>

#include "diag/cdd_reader.h"
#include "diag/diag_tables.h"
#include "diag/odx_reader.h"
#include "platform/clock.h"

namespace {

void DetachFromParent(NanoXML* node) {
    if (node->parent == nullptr) return;
    std::erase(node->parent->children, node);
    node->parent = nullptr;
}

}  // namespace

CDiagnoseLib::CDiagnoseLib()
    : creationTick_(qm::platform::TickCount()),
      version_(qm::diag::LibraryVersionText(" Extended")) {
    Clear();
}

CDiagnoseLib::~CDiagnoseLib() {
    DetachFromParent(&sourceTree_);
    ecus_.clear();
    extDocuments_.clear();
    sourceTree_.DeleteChildren();
    ownedDocuments_.clear();
}

void CDiagnoseLib::Clear() {
    // A library the facade lists keeps its (fresh) element under the facade's info element.
    NanoXML* parent = sourceTree_.parent;
    size_t position = 0;
    if (parent != nullptr) {
        position = static_cast<size_t>(
            std::find(parent->children.begin(), parent->children.end(), &sourceTree_) -
            parent->children.begin());
    }
    DetachFromParent(&sourceTree_);
    ecus_.clear();
    extDocuments_.clear();
    sourceTree_.DeleteAttributes();
    sourceTree_.DeleteChildren();
    sourceTree_.text.clear();
    sourceTree_.flags = 0;
    sourceTree_.link = nullptr;
    sourceTree_.name = "DiagnoseLib";
    sourceTree_.SetAttribute("Version", qm::diag::LibraryVersionText(" (Development)").c_str());
    sourceTree_.SetAttribute("BuildDate", GetBuildDate());
    ownedDocuments_.clear();
    messages_.clear();
    pendingFiles_.clear();
    timeOdx_ = timeCdd_ = timeXml_ = 0;
    if (parent != nullptr) {
        position = std::min(position, parent->children.size());
        parent->children.insert(parent->children.begin() + static_cast<std::ptrdiff_t>(position),
                                &sourceTree_);
        sourceTree_.parent = parent;
    }
}

void CDiagnoseLib::MoveUnderSourceTree(NanoXML* root, const std::string& source) {
    DetachFromParent(root);
    root->SetAttribute("DiagnoseLibSrc", source.c_str());
    sourceTree_.AddChild(root);
}

uint8_t CDiagnoseLib::AttachDocument(const char* path, const char* rootName, uint8_t process) {
    if (path == nullptr) return 0;
    auto document = std::make_unique<NanoXML>();
    const uint32_t start = qm::platform::TickCount();
    const int parsed = document->LoadFile(path);
    if (parsed == 0) return 0;
    timeXml_ += qm::platform::TickCount() - start;
    if (document->name == rootName) {
        MoveUnderSourceTree(document.release(), path);
    } else {
        std::vector<NanoXML*> tops;
        tops.swap(document->children);
        for (NanoXML* top : tops) {
            top->parent = nullptr;
            if (top->name == rootName) {
                MoveUnderSourceTree(top, path);
            } else {
                delete top;
            }
        }
    }
    if (process == 1) return static_cast<uint8_t>(BuildModel());
    return static_cast<uint8_t>(parsed);
}

uint8_t CDiagnoseLib::LoadCddFile(const char* path, uint8_t process) {
    return AttachDocument(path, "CANDELA", process);
}

uint8_t CDiagnoseLib::LoadOdxFile(const char* path, uint8_t process) {
    return AttachDocument(path, "ODX", process);
}

uint8_t CDiagnoseLib::LoadPdxFile(const char*, uint8_t) {
    // PDX archives come with the ODX reader.
    return 0;
}

uint8_t CDiagnoseLib::LoadOdxFolder(const char*, uint8_t, uint8_t) {
    // Folders of ODX files come with the ODX reader.
    return 0;
}

uint16_t CDiagnoseLib::BuildModel() {
    ecus_.clear();
    uint16_t result = qm::diag::BuildOdx(*this) ? 1 : 0;
    if (qm::diag::BuildCdd(*this) == 1) result = 1;
    if (LoadEcus(&sourceTree_) == 1) result = 1;
    // Attached container subtrees come back as well.
    if (LoadAttachedContainers() == 1) result = 1;
    for (auto& ecu : ecus_) {
        for (auto& cls : ecu->functionalClasses) {
            for (auto& service : cls->services) {
                for (auto& request : service->requests) {
                    for (auto& param : request->params) param->FinishPresentationType();
                }
            }
        }
    }
    if (result >= 1) ReLayOutAll(true);
    return result;
}

void CDiagnoseLib::ReLayOutAll(bool includeGroups) {
    for (auto& ecu : ecus_) {
        ecu->ForEachFunction(includeGroups, [](CUDSFunction& function) { function.ReLayOut(); });
    }
}

void CDiagnoseLib::SetByteOrder(uint32_t order) {
    for (auto& ecu : ecus_) {
        ecu->ForEachFunction(true, [order](CUDSFunction& function) {
            function.SetByteOrder(order);
            function.ReLayOut();
        });
    }
}

void CDiagnoseLib::SortParameters() {
    for (auto& ecu : ecus_) {
        for (auto& cls : ecu->functionalClasses) {
            for (auto& service : cls->services) {
                service->ForEachFunction([](CUDSFunction& function) { function.SortParameters(); });
            }
        }
    }
}

void CDiagnoseLib::SetGrouping(uint8_t flag, uint32_t order) {
    for (auto& ecu : ecus_) {
        ecu->grouping = flag;
        if (flag) ecu->BuildServiceGroups();
        ecu->ForEachFunction(flag != 0, [order](CUDSFunction& function) {
            function.SetByteOrder(order);
            function.ReLayOut();
        });
    }
}

void CDiagnoseLib::SetGrouping(uint8_t flag) {
    for (auto& ecu : ecus_) {
        ecu->grouping = flag;
        if (!flag) continue;
        ecu->BuildServiceGroups();
        for (auto& group : ecu->serviceGroups) {
            for (auto& service : group->services) {
                service->ForEachFunction([](CUDSFunction& function) { function.SortParameters(); });
            }
        }
    }
}

IECU* CDiagnoseLib::GetEcu(uint64_t index) {
    return index < ecus_.size() ? ecus_[index].get() : nullptr;
}

IExtDocument* CDiagnoseLib::GetExtDocument(uint64_t index) {
    return index < extDocuments_.size() ? extDocuments_[index].get() : nullptr;
}

const char* CDiagnoseLib::GetUdsServiceName(uint8_t serviceId) {
    return qm::diag::UdsServiceName(serviceId);
}

bool CDiagnoseLib::OwnsEcu(const IECU* ecu) const {
    return ecu != nullptr && std::any_of(ecus_.begin(), ecus_.end(), [ecu](const auto& own) {
               return static_cast<const IECU*>(own.get()) == ecu;
           });
}

uint8_t CDiagnoseLib::AddFunctionalClass(const char* name, IECU* ecu) {
    if (!OwnsEcu(ecu)) return 0;
    auto cls = std::make_unique<CFunctionalClass>();
    cls->name = name ? name : "";
    static_cast<CECU*>(ecu)->functionalClasses.push_back(std::move(cls));
    return 1;
}

uint8_t CDiagnoseLib::AddService(const char* name, uint8_t serviceId, IFunctionalClass* cls) {
    auto* target = dynamic_cast<CFunctionalClass*>(cls);
    if (target == nullptr) return 0;
    auto service = std::make_unique<CUDSService>();
    service->name = name ? name : "";
    auto request = std::make_unique<CUDSFunction>();
    auto param = std::make_unique<CParam>();
    param->name = "Request Service ID";
    param->bitLength = 8;
    param->bitMask = 255;
    param->valueStr = std::to_string(serviceId);
    request->AddParam(std::move(param));
    service->requests.push_back(std::move(request));
    target->services.push_back(std::move(service));
    return 1;
}

uint8_t CDiagnoseLib::AddEcu(const char* name) {
    auto ecu = std::make_unique<CECU>();
    ecu->shortName = name ? name : "";
    NanoXML* subtree = EcuToXml(ecu.get());
    ecus_.push_back(std::move(ecu));
    if (subtree == nullptr) return 0;
    MoveUnderSourceTree(subtree, "");
    return 1;
}
