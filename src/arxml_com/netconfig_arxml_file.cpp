#include "arxml_com/netconfig_arxml_file.h"

NetConfigArxmlFile::~NetConfigArxmlFile() {
    ClearContent();
}

void NetConfigArxmlFile::ClearContent() {
    clusters_.Clear();
    pdus_.Clear();
    version_ = {0, 0, 0};
    loaded_ = false;
    framesRead_ = 0;
}

void NetConfigArxmlFile::Clear() {
    ClearContent();
    messages_.clear();
    path_.clear();
}

bool NetConfigArxmlFile::Load(const wchar_t* path) {
    ClearContent();
    messages_.clear();
    path_ = path ? path : L"";
    qm::arxml::ArxmlReader reader({pdus_, clusters_, messages_, version_});
    reader.SetWorkers(workers_);
    reader.SetReadingMode(mode_);
    const bool ok = reader.Load(path_);
    times_ = reader.Times();
    framesRead_ = reader.FramesRead();
    // The reference resolution and reading happen only after a successful parse.
    loaded_ = ok;
    return ok;
}

bool NetConfigArxmlFile::SetReadingMode(int32_t mode) {
    if (mode != kArxmlReadExact && mode != kArxmlReadWholeDocument) return false;
    mode_ = mode;
    return true;
}
