#pragma once
// The network configuration: loads DBC, LDF and ARXML files, keeps the DBC and LDF file objects
// and one network database per bus, and carries the "NetConfig" element that the facade hangs
// under its info element.
#include <memory>
#include <string>
#include <vector>

#include "netconfig/net_database.h"
#include "quillmere/arxml_com.h"
#include "quillmere/netconfig.h"

class NanoXML;

// Besides its interface the configuration offers three extensions: INetConfigOptions (the
// reading mode of the ARXML files it loads), INetConfigDbcReading and INetConfigLdfReading
// (tolerant DBC and LDF reading).
class NetConfig : public INetConfig,
                  public INetConfigOptions,
                  public INetConfigDbcReading,
                  public INetConfigLdfReading {
  public:
    static constexpr const char* kVersion = "1.61";

    NetConfig();
    ~NetConfig() override;
    NetConfig(const NetConfig&) = delete;
    NetConfig& operator=(const NetConfig&) = delete;

    void Clear() override;
    const char* GetLastMessages() override { return lastMessages_.c_str(); }
    uint8_t LoadLdf(const wchar_t* path) override;
    uint8_t LoadLdf(const char* path) override;
    uint8_t LoadDbc(const wchar_t* path) override;
    uint8_t LoadDbc(const char* path) override;
    void SetTolerantDbcReading(bool tolerant) override { tolerantDbc_ = tolerant; }
    bool IsTolerantDbcReading() override { return tolerantDbc_; }
    void SetTolerantLdfReading(bool tolerant) override { tolerantLdf_ = tolerant; }
    bool IsTolerantLdfReading() override { return tolerantLdf_; }
    uint8_t LoadArxml(const wchar_t* path) override;
    uint8_t LoadArxml(const char* path) override;
    uint8_t LoadFibex(const wchar_t* path) override;
    uint8_t LoadFibex(const char* path) override;
    INetFile* GetFile(uint64_t index) override;
    uint64_t GetDbcFileCount() override { return CountFiles(kNetFileDbc); }
    INetConfigDbcFile* GetDbcFile() override;
    INetConfigArxmlFile* GetArxmlFile() override { return nullptr; }
    uint64_t GetLdfFileCount() override { return CountFiles(kNetFileLdf); }
    INetConfigLdfFile* GetLdfFile() override;
    INetFile* GetFibexFile() override { return nullptr; }
    bool SaveLdf(const char* path, uint64_t index) override;
    bool SaveDbc(const char* path, uint64_t index) override;
    const char* GetInfoText() override;
    uint64_t GetDataBaseCount() override { return databases_.size(); }
    INetDataBase* GetDataBase(uint64_t index) override;
    INetDataBase* GetFirstDataBase() override;
    INetDataBase* GetLastDataBase() override;
    INetDataBase* FindDataBase(const char* name) override;
    INetFrameDiagnostic* CreateFrameDiagnostic() override;
    const char* GetVersion() override { return kVersion; }
    const char* GetFibexInfoText() override;

    bool SetArxmlReadingMode(int32_t mode) override;
    int32_t GetArxmlReadingMode() override { return arxmlReadingMode_; }

    // The element the facade hangs under its info element; owned by the configuration.
    NanoXML* GetXmlNode() const { return xml_; }
    int FileFlag() const { return fileFlag_; }
    const std::vector<std::unique_ptr<NetDataBase>>& DataBases() const { return databases_; }

    // The container form (net_persistence.cpp): a new "NetConfig" element holding every CAN and
    // LIN bus (the caller owns it), and the import of such an element, which adds to what the
    // configuration holds. The import adopts the "LDF" and "DBC" elements into the
    // configuration's own element.
    NanoXML* ExportContainer();
    bool ImportContainer(NanoXML* element);

  private:
    uint64_t CountFiles(int32_t type) const;
    INetFile* FirstFile(int32_t type) const;
    void ResetXmlNode();

    std::vector<std::unique_ptr<NetDataBase>> databases_;
    int fileFlag_ = 1;
    bool tolerantDbc_ = false;
    bool tolerantLdf_ = false;
    std::string lastMessages_;
    std::string infoText_;
    std::string fibexInfoText_;
    std::vector<std::unique_ptr<INetFile>> files_;
    NanoXML* xml_;
    // A setting, not content: Clear keeps it.
    int32_t arxmlReadingMode_ = kArxmlReadExact;
};
