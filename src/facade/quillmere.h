#pragma once
#include "arxml_com/netconfig_arxml_file.h"
#include "dbc/netconfig_dbc_file.h"
#include "diag/diagnose_lib.h"
#include "facade/owned_list.h"
#include "ldf/netconfig_ldf_file.h"
#include "netconfig/net_config.h"
#include "quillmere/facade.h"
#include "quillmere/xml.h"
#include "someip/arxml_database.h"

// The facade: owns one list per kind of object it creates and the info element under which the
// network configurations and diagnostic libraries hang their own elements.
class Quillmere : public IQuillmere {
  public:
    static constexpr const char* kVersion = "1.00.40.03";
    static constexpr const char* kBuildDate = "Apr 25 2022";

    Quillmere();
    ~Quillmere() override;
    Quillmere(const Quillmere&) = delete;
    Quillmere& operator=(const Quillmere&) = delete;

    void Clear() override;
    bool LoadFromFile(const char* path) override;
    bool SaveToFile(const char* path) override;
    INetConfig* CreateNetConfig() override;
    INetConfigDbcFile* CreateDbcFile() override;
    INetConfigLdfFile* CreateLdfFile() override;
    INetConfigArxmlFile* CreateArxmlFile() override;
    IDiagnoseLib* CreateDiagnoseLib() override;
    IArxmlDatabase* CreateArxmlDatabase() override;
    bool DeleteNetConfig(INetConfig* object) override;
    bool DeleteDbcFile(INetConfigDbcFile* object) override;
    bool DeleteLdfFile(INetConfigLdfFile* object) override;
    bool DeleteArxmlFile(INetConfigArxmlFile* object) override;
    bool DeleteDiagnoseLib(IDiagnoseLib* object) override;
    bool DeleteArxmlDatabase(IArxmlDatabase* object) override;
    NanoXML* GetXml() override;
    const char* GetVersion() override;
    const char* GetBuildDate() override;

  private:
    void ResetInfoNode();
    void DetachInfoNode();
    // Moves the children of a stored "DiagnoseLib" element into the library's source tree.
    static void AdoptLibraryContent(CDiagnoseLib& library, NanoXML* container);

    OwnedList<NetConfig, INetConfig> netConfigs_;
    OwnedList<NetConfigDbcFile, INetConfigDbcFile> dbcFiles_;
    OwnedList<NetConfigLdfFile, INetConfigLdfFile> ldfFiles_;
    OwnedList<NetConfigArxmlFile, INetConfigArxmlFile> arxmlFiles_;
    OwnedList<CDiagnoseLib, IDiagnoseLib> diagnoseLibs_;
    // Not touched by Clear; destroyed with the facade.
    OwnedList<CArxmlDatabase, IArxmlDatabase> arxmlDatabases_;
    NanoXML* info_;
};
