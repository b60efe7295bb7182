#pragma once
// The diagnostic library: the source tree of every attached CDD, ODX and container document
// and the model built from it.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_set>
#include <vector>

#include "diag/diag_ecu.h"
#include "diag/diag_ext_document.h"
#include "quillmere/diag.h"
#include "quillmere/xml.h"

class CDiagnoseLib : public IDiagnoseLib,
                     public IDiagnoseLibOdxPositions,
                     public IDiagnoseLibReading {
  public:
    CDiagnoseLib();
    ~CDiagnoseLib() override;
    CDiagnoseLib(const CDiagnoseLib&) = delete;
    CDiagnoseLib& operator=(const CDiagnoseLib&) = delete;

    void Clear() override;
    const char* GetMessages() override { return messages_.c_str(); }
    const char* GetFormat() override { return format_.c_str(); }
    const char* GetVersion() override { return version_.c_str(); }
    const char* GetBuildDate() override { return "Apr 25 2022"; }
    uint8_t IsExtended() override { return extended_; }
    uint8_t LoadOdxFile(const char* path, uint8_t process) override;
    uint8_t LoadPdxFile(const char* path, uint8_t process) override;
    uint8_t LoadCddFile(const char* path, uint8_t process) override;
    uint8_t LoadOdxFolder(const char* pattern, uint8_t recursive, uint8_t process) override;
    uint16_t BuildModel() override;
    void SetByteOrder(uint32_t order) override;
    bool SaveServiceXml(const char* path, IUDSService* service) override;
    bool SaveFunctionalClassXml(const char* path, IFunctionalClass* cls) override;
    bool SaveEcuXml(const char* path, IECU* ecu) override;
    bool SaveXml(const char* path) override;
    uint8_t LoadAttachedContainers() override;
    uint8_t LoadEcus(NanoXML* node) override;
    uint8_t LoadFunctionalClasses(NanoXML* node, IECU* ecu) override;
    uint8_t LoadServices(NanoXML* node, IFunctionalClass* cls) override;
    NanoXML* NewContainerNode() override;
    bool AddStatistics(NanoXML* node) override;
    uint32_t AttachContainer(NanoXML* root, const char* source) override;
    uint8_t LoadContainerText(const char* text, uint8_t process) override;
    NanoXML* ServiceToXml(IUDSService* service) override;
    NanoXML* FunctionalClassToXml(IFunctionalClass* cls) override;
    NanoXML* EcuToXml(IECU* ecu) override;
    uint8_t AddFunctionalClass(const char* name, IECU* ecu) override;
    uint8_t AddService(const char* name, uint8_t serviceId, IFunctionalClass* cls) override;
    void SortParameters() override;
    void SetGrouping(uint8_t flag, uint32_t order) override;
    void SetGrouping(uint8_t flag) override;
    uint64_t GetEcuCount() override { return ecus_.size(); }
    IECU* GetEcu(uint64_t index) override;
    uint8_t AddEcu(const char* name) override;
    uint64_t GetExtDocumentCount() override { return extDocuments_.size(); }
    IExtDocument* GetExtDocument(uint64_t index) override;
    const char* GetUdsServiceName(uint8_t serviceId) override;
    void SetOdxStatedPositions(uint8_t keep) override { odxStatedPositions_ = keep != 0 ? 1 : 0; }
    uint8_t GetOdxStatedPositions() override {
        return odxStatedPositions_ != 0 || asWritten_ != 0 ? 1 : 0;
    }
    void SetReadingAsWritten(uint8_t asWritten) override { asWritten_ = asWritten != 0 ? 1 : 0; }
    uint8_t GetReadingAsWritten() override { return asWritten_; }
    void SetCddLanguage(const char* language) override { cddLanguage_ = language ? language : ""; }
    const char* GetCddLanguage() override { return cddLanguage_.c_str(); }
    bool AsWritten() const { return asWritten_ != 0; }

    // The whole model as one "DiagnoseLib" element (every ECU, then every external document,
    // with statistics): what SaveXml writes and what the container file stores. The caller
    // owns the result.
    NanoXML* ExportContainer();
    // The source tree ("DiagnoseLib"), which the facade hangs under its info element.
    NanoXML* SourceTree() { return &sourceTree_; }
    // Used by the readers.
    void AppendMessage(const std::string& text) { messages_ += text; }
    void SetFormat(std::string format) { format_ = std::move(format); }
    void AddTimeCdd(uint32_t ms) { timeCdd_ += ms; }
    void AddTimeOdx(uint32_t ms) { timeOdx_ += ms; }
    void AddTimeXml(uint32_t ms) { timeXml_ += ms; }
    std::vector<std::unique_ptr<CECU>>& Ecus() { return ecus_; }
    std::vector<std::unique_ptr<CExtDocument>>& ExtDocuments() { return extDocuments_; }
    uint32_t TimeXml() const { return timeXml_; }
    uint32_t TimeCdd() const { return timeCdd_; }
    uint32_t TimeOdx() const { return timeOdx_; }
    uint32_t CreationTick() const { return creationTick_; }
    // Paths collected by folder scans, in the order found; they stay until Clear.
    const std::vector<std::string>& PendingFiles() const { return pendingFiles_; }
    // Appends a path unless the list already holds it; false for a duplicate. The index keeps
    // the duplicate check constant-time for folders of thousands of files.
    bool AddPendingFile(const std::string& path);
    // Moves a parsed root under the source tree, marked with the document it came from.
    void AttachRoot(NanoXML* root, const std::string& source) { MoveUnderSourceTree(root, source); }

  private:
    // Parses a file and moves its roots of that name under the source tree.
    uint8_t AttachDocument(const char* path, const char* rootName, uint8_t process);
    void MoveUnderSourceTree(NanoXML* root, const std::string& source);
    bool OwnsEcu(const IECU* ecu) const;
    // Writes the element to path through the atomic replace; deletes the element.
    bool WriteElement(const char* path, NanoXML* element);
    void ReLayOutAll(bool includeGroups);

    std::string messages_;
    std::string format_;
    std::vector<std::string> pendingFiles_;
    std::unordered_set<std::string> pendingIndex_;
    uint32_t creationTick_ = 0;
    NanoXML sourceTree_;
    std::vector<std::unique_ptr<NanoXML>> ownedDocuments_;
    std::vector<std::unique_ptr<CECU>> ecus_;
    std::vector<std::unique_ptr<CExtDocument>> extDocuments_;
    uint32_t timeOdx_ = 0;
    uint32_t timeCdd_ = 0;
    uint32_t timeXml_ = 0;
    std::string version_;
    uint8_t extended_ = 1;
    uint8_t odxStatedPositions_ = 0;  // options: survive Clear
    uint8_t asWritten_ = 0;
    std::string cddLanguage_;
};
