#pragma once
// The parts of INetFile that the DBC, LDF and ARXML file objects share: the narrow-path forms
// that widen and forward to the wide ones, the stored path and the message log.
#include <string>

#include "platform/paths.h"
#include "quillmere/netfile.h"

template <class Interface>
class NetFileBase : public Interface {
public:
    using Interface::Load;
    using Interface::Save;

    const char* GetMessages() override { return messages_.c_str(); }

    bool Load(const char* path) override {
        const std::wstring wide = qm::platform::Widen(path ? path : "");
        return Load(wide.c_str());
    }

    bool Save(const char* path) override {
        const std::wstring wide = qm::platform::Widen(path ? path : "");
        return Save(wide.c_str());
    }

    const wchar_t* GetPath() override { return path_.c_str(); }
    void SetPath(const wchar_t* path) override { path_ = path ? path : L""; }

protected:
    std::wstring path_;
    std::string messages_;
};
