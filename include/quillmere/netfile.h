#pragma once
#include <cstdint>

#include "quillmere/export.h"

// The interface shared by the DBC, LDF and ARXML file objects. Each file interface derives from
// it and continues its own slots after these thirteen.
class QM_API INetFile {
public:
    virtual ~INetFile() = default;                          // slot 0
    virtual void Clear() = 0;                               // slot 1
    virtual const char* GetMessages() = 0;                  // slot 2
    virtual const char* GetInfoText() = 0;                  // slot 3
    virtual bool Load(const wchar_t* path) = 0;             // slot 4
    virtual bool Load(const char* path) = 0;                // slot 5
    virtual bool Save() = 0;                                // slot 6
    virtual bool Save(const wchar_t* path) = 0;             // slot 7
    virtual bool Save(const char* path) = 0;                // slot 8
    virtual const wchar_t* GetPath() = 0;                   // slot 9
    virtual void SetPath(const wchar_t* path) = 0;          // slot 10
    virtual const char* GetVersion() = 0;                   // slot 11
    virtual int32_t GetFileType() = 0;                      // slot 12
};

// Values of GetFileType().
enum NetFileType : int32_t { kNetFileLdf = 0, kNetFileDbc = 1, kNetFileArxml = 2 };
