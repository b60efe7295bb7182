#pragma once
// The SOME/IP database: reads ARXML files into one element tree and extracts the ECUs with
// their services, the Ethernet topology and the data types from it.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillmere/someip.h"
#include "quillmere/xml.h"
#include "someip/data_types.h"
#include "someip/document_model.h"
#include "someip/ecu.h"
#include "someip/ethernet_model.h"
#include "someip/owned_items.h"

namespace qm::xml {
class ArxmlReferenceResolver;
}

class CArxmlDatabase;

namespace qm::someip {

// Milliseconds spent in each part of the last Load.
struct LoadTimes {
    uint32_t parse = 0;
    uint32_t resolve = 0;
    uint32_t merge = 0;
    uint32_t ecus = 0;
    uint32_t ethernet = 0;
    uint32_t services = 0;
    uint32_t araTypes = 0;
    uint32_t rizTypes = 0;
    uint32_t structures = 0;
    uint32_t configurations = 0;
    uint32_t clusterPackage = 0;
    uint32_t document = 0;  // whole-document reading
};

// What a Load reads into: the root of all files, the reference index collected while reading
// (resolved after each Load), the names of the files read and the packages the merge emptied.
struct ReaderContext {
    explicit ReaderContext(CArxmlDatabase* owner);
    ~ReaderContext();
    ReaderContext(const ReaderContext&) = delete;
    ReaderContext& operator=(const ReaderContext&) = delete;

    CArxmlDatabase* database;
    std::unique_ptr<qm::xml::ArxmlReferenceResolver> resolver;
    std::unique_ptr<NanoXML> root;
    bool hasRoot = false;
    std::vector<std::string> files;
    std::vector<std::unique_ptr<NanoXML>> mergedPackages;
};

}  // namespace qm::someip

// Besides its interface the database offers the whole-document reading extension
// IArxmlDatabaseOptions.
class CArxmlDatabase : public IArxmlDatabase, public IArxmlDatabaseOptions {
  public:
    static constexpr const char* kVersion = "1.50";
    static constexpr const char* kBuildDate = "Apr 25 2022";

    CArxmlDatabase();
    ~CArxmlDatabase() override;
    CArxmlDatabase(const CArxmlDatabase&) = delete;
    CArxmlDatabase& operator=(const CArxmlDatabase&) = delete;

    const char* GetVersion() override { return kVersion; }
    const char* GetBuildDate() override { return kBuildDate; }
    void Clear() override;
    const char* GetMessages() override { return messages_.c_str(); }
    bool Load(const char* const* files, uint64_t count) override;
    uint64_t GetLoadedFileCount() override { return loadedFiles_.size(); }
    const char* GetLoadedFileName(uint64_t index) override {
        return qm::someip::TextAt(loadedFiles_, index);
    }
    uint64_t GetEcuCount() override { return ecus_.Count(); }
    IEcu* GetEcu(uint64_t index) override { return ecus_.At(index); }
    IEcu* FindEcu(const char* name) override { return ecus_.Find(name); }
    ICluster* GetClusters() override { return clusters_.get(); }
    IRizConfig* GetRizConfig() override { return riz_.get(); }
    uint64_t GetServiceConfigurationCount() override { return configurations_.size(); }
    IGlobalConfigDataType* GetServiceConfiguration(uint64_t index) override {
        return index < configurations_.size() ? configurations_[index].get() : nullptr;
    }

    // IArxmlDatabaseOptions
    bool SetReadingMode(int32_t mode) override;
    int32_t GetReadingMode() override { return mode_; }
    uint64_t GetReadCount(int32_t what) override {
        return what >= 0 && what < 8 ? document_.counts[what] : 0;
    }
    uint64_t GetSomeIpServiceCount() override { return document_.services.size(); }
    ISomeIpService* GetSomeIpService(uint64_t index) override {
        return qm::someip::ItemAt(document_.services, index);
    }
    ISomeIpService* FindSomeIpService(const char* name) override { return document_.Find(name); }
    uint64_t GetSomeIpTypeCount() override { return document_.types.size(); }
    ISomeIpType* GetSomeIpType(uint64_t index) override {
        return qm::someip::ItemAt(document_.types, index);
    }
    const char* GenerateServicesHeader(const char* serviceName) override;

    const qm::someip::LoadTimes& Times() const { return times_; }
    const qm::someip::DocumentModel& Document() const { return document_; }
    // The element tree of everything loaded (null before the first file).
    const NanoXML* Root() const { return context_ ? context_->root.get() : nullptr; }

  private:
    void Extract();

    std::unique_ptr<qm::someip::ReaderContext> context_;
    qm::someip::OwnedItems<qm::someip::CEcu> ecus_;
    std::unique_ptr<qm::someip::CCluster> clusters_;
    std::unique_ptr<qm::someip::CRizConfig> riz_;
    std::vector<std::string> loadedFiles_;
    std::vector<std::unique_ptr<qm::someip::CGlobalConfigDataType>> configurations_;
    std::string messages_;
    qm::someip::LoadTimes times_;
    int32_t mode_ = kSomeIpReadExact;
    qm::someip::DocumentModel document_;
};
