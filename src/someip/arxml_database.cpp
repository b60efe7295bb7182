#include "someip/arxml_database.h"

#include "platform/clock.h"
#include "someip/document_header.h"
#include "someip/document_reader.h"
#include "someip/someip_readers.h"
#include "xml/reference_resolver.h"
#include "xml/xml_state.h"

namespace qm::someip {

ReaderContext::ReaderContext(CArxmlDatabase* owner) : database(owner) {}

ReaderContext::~ReaderContext() {
    // The index refers into the tree; the merged packages may be linked from it.
    resolver.reset();
    root.reset();
    mergedPackages.clear();
}

}  // namespace qm::someip

using qm::someip::ReaderContext;

namespace {

// Runs one step and adds its milliseconds to the slot.
template <typename Step>
void Timed(uint32_t& slot, Step&& step) {
    const uint32_t start = qm::platform::TickCount();
    step();
    slot += qm::platform::TickCount() - start;
}

}  // namespace

CArxmlDatabase::CArxmlDatabase() : context_(std::make_unique<ReaderContext>(this)) {}

CArxmlDatabase::~CArxmlDatabase() {
    Clear();
    context_.reset();
}

void CArxmlDatabase::Clear() {
    ecus_.Clear();
    clusters_.reset();
    riz_.reset();
    loadedFiles_.clear();
    context_ = std::make_unique<ReaderContext>(this);
    messages_.clear();
    document_ = qm::someip::DocumentModel();
}

bool CArxmlDatabase::SetReadingMode(int32_t mode) {
    if (mode != kSomeIpReadExact && mode != kSomeIpReadWholeDocument) return false;
    mode_ = mode;
    return true;
}

const char* CArxmlDatabase::GenerateServicesHeader(const char* serviceName) {
    qm::someip::GenerateDocumentHeader(document_, serviceName, document_.header);
    return document_.header.c_str();
}

bool CArxmlDatabase::Load(const char* const* files, uint64_t count) {
    if (!context_) return false;
    times_ = qm::someip::LoadTimes{};
    bool result = true;
    for (uint64_t i = 0; files != nullptr && i < count; ++i) {
        const char* path = files[i];
        if (path == nullptr) continue;
        if (!context_->hasRoot) {
            context_->root = std::make_unique<NanoXML>();
            context_->resolver = std::make_unique<qm::xml::ArxmlReferenceResolver>();
            context_->root->onChildParsed = context_->resolver->MakeCallback();
            context_->hasRoot = true;
        }
        bool read = false;
        // A whole document is read as its tools write it, a prefix on the AUTOSAR namespace too.
        const qm::xml::LocalElementNamesScope names(mode_ == kSomeIpReadWholeDocument);
        Timed(times_.parse, [&] { read = context_->root->LoadFile(path) != 0; });
        if (read) {
            context_->files.emplace_back(path);
            loadedFiles_.emplace_back(path);
        } else {
            messages_ += std::string("ERROR: Not possible to load ARXML file \"") + path + "\"\r\n";
            result = false;
        }
    }
    if (context_->hasRoot) {
        // References already resolved keep their links; resolving again also links the
        // references of earlier files to targets that later files brought.
        Timed(times_.resolve, [&] { context_->resolver->Resolve(context_->root.get()); });
    }
    Extract();
    return result;
}

void CArxmlDatabase::Extract() {
    using namespace qm::someip;
    NanoXML* root = context_->hasRoot ? context_->root.get() : nullptr;
    // The merge's walk also gathers what the later steps look for in the whole tree.
    TreeSurvey survey;
    Timed(times_.merge, [&] { MergePackages(root, context_->mergedPackages, &survey); });
    Timed(times_.ecus, [&] { ReadEcus(root, survey, ecus_); });
    // The Ethernet topology is rebuilt from the whole tree at every load.
    Timed(times_.ethernet, [&] {
        clusters_ = std::make_unique<CCluster>();
        ReadEthernetClusters(survey, *clusters_, false);
    });
    CEcu* firstEcu = ecus_.At(0);
    const bool wholeDocument = mode_ == kSomeIpReadWholeDocument;
    Timed(times_.services, [&] {
        const std::string lines = ReadServices(root, survey, firstEcu);
        // The described step reports nothing. Whole-document reading keeps its notes on the
        // values it read (out of range, unnamed instances), but not the "Missing …" lines of
        // the described layout, which it does not depend on: it reports what it reads itself.
        if (wholeDocument && lines.rfind("Missing ", 0) != 0) messages_ += lines;
    });
    if (!riz_) riz_ = std::make_unique<CRizConfig>();
    Timed(times_.araTypes, [&] { messages_ += ReadAraTypes(root, *riz_); });
    Timed(times_.rizTypes, [&] { messages_ += ReadRizStandardTypes(survey, *riz_); });
    Timed(times_.structures,
          [&] { messages_ += ReadServiceStructures(survey, firstEcu, wholeDocument); });
    Timed(times_.configurations,
          [&] { messages_ += ReadServiceConfigurations(survey, configurations_); });
    Timed(times_.clusterPackage, [&] { ReadEthernetClusters(survey, *clusters_, true); });
    if (wholeDocument) {
        Timed(times_.document, [&] { messages_ += ReadWholeDocument(root, document_); });
    } else {
        document_ = DocumentModel();
    }
}
