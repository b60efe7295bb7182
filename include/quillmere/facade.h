#pragma once
#include "quillmere/export.h"

class NanoXML;
class INetConfig;
class INetConfigDbcFile;
class INetConfigLdfFile;
class INetConfigArxmlFile;
class IDiagnoseLib;
class IArxmlDatabase;

// The facade: creates, owns and destroys every other object, and saves and loads the
// container file.
class QM_API IQuillmere {
public:
    virtual ~IQuillmere() = default;                                    // slot 0
    virtual void Clear() = 0;                                           // slot 1
    virtual bool LoadFromFile(const char* path) = 0;                    // slot 2
    virtual bool SaveToFile(const char* path) = 0;                      // slot 3
    virtual INetConfig* CreateNetConfig() = 0;                          // slot 4
    virtual INetConfigDbcFile* CreateDbcFile() = 0;                     // slot 5
    virtual INetConfigLdfFile* CreateLdfFile() = 0;                     // slot 6
    virtual INetConfigArxmlFile* CreateArxmlFile() = 0;                 // slot 7
    virtual IDiagnoseLib* CreateDiagnoseLib() = 0;                      // slot 8
    virtual IArxmlDatabase* CreateArxmlDatabase() = 0;                  // slot 9
    virtual bool DeleteNetConfig(INetConfig* object) = 0;               // slot 10
    virtual bool DeleteDbcFile(INetConfigDbcFile* object) = 0;          // slot 11
    virtual bool DeleteLdfFile(INetConfigLdfFile* object) = 0;          // slot 12
    virtual bool DeleteArxmlFile(INetConfigArxmlFile* object) = 0;      // slot 13
    virtual bool DeleteDiagnoseLib(IDiagnoseLib* object) = 0;           // slot 14
    virtual bool DeleteArxmlDatabase(IArxmlDatabase* object) = 0;       // slot 15
    virtual NanoXML* GetXml() = 0;                                      // slot 16
    virtual const char* GetVersion() = 0;                               // slot 17
    virtual const char* GetBuildDate() = 0;                             // slot 18
};

extern "C" {
QM_API IQuillmere* CreateQuillmereInstance();
QM_API bool DeleteQuillmereInstance(IQuillmere* instance);
}
