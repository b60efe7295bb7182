#pragma once
// A document embedded in or referenced by a diagnostic description.
#include <string>
#include <vector>

#include "quillmere/diag.h"

class CExtDocument : public IExtDocument {
  public:
    const char* GetFileName() override { return fileName.c_str(); }
    uint8_t IsJobFile() override { return isJobFile; }
    const char* GetCreationDateTime() override { return creationDateTime.c_str(); }
    const char* GetChangedDateTime() override { return changedDateTime.c_str(); }
    const char* GetSyntax() override { return syntax.c_str(); }
    const char* GetVersion() override { return version.c_str(); }
    const char* GetUsage() override { return usage.c_str(); }
    uint64_t GetContentLength() override { return content.size(); }
    const uint8_t* GetContent() override { return content.empty() ? nullptr : content.data(); }
    const char* GetId() override { return id.c_str(); }

    std::string fileName, creationDateTime, changedDateTime, syntax, version, usage, id;
    uint8_t isJobFile = 0;
    std::vector<uint8_t> content;
};
