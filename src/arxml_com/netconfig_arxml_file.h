#pragma once
// The ARXML communication file object the facade creates: loads an AUTOSAR system description
// into clusters, ECUs, PDU groups, PDUs and signals. It cannot be written back.
#include <string>

#include "arxml_com/arxml_cluster.h"
#include "arxml_com/arxml_pdu.h"
#include "arxml_com/arxml_reader.h"
#include "arxml_com/named_list.h"
#include "netfile/net_file_base.h"
#include "quillmere/arxml_com.h"

// Besides its interface the file offers the reading-mode extension INetConfigArxmlFileOptions.
class NetConfigArxmlFile : public NetFileBase<INetConfigArxmlFile>,
                           public INetConfigArxmlFileOptions {
  public:
    static constexpr const char* kVersion = "1.19";

    NetConfigArxmlFile() = default;
    ~NetConfigArxmlFile() override;
    NetConfigArxmlFile(const NetConfigArxmlFile&) = delete;
    NetConfigArxmlFile& operator=(const NetConfigArxmlFile&) = delete;

    using NetFileBase<INetConfigArxmlFile>::Load;
    using NetFileBase<INetConfigArxmlFile>::Save;

    void Clear() override;
    const char* GetInfoText() override { return nullptr; }
    bool Load(const wchar_t* path) override;
    bool Save() override { return false; }
    bool Save(const wchar_t*) override { return false; }
    const char* GetVersion() override { return kVersion; }
    int32_t GetFileType() override { return kNetFileArxml; }

    bool IsLoaded() override { return loaded_; }
    uint64_t GetClusterCount() override { return clusters_.Count(); }
    IArxmlCluster* GetCluster(uint64_t index) override { return clusters_.At(index); }
    IArxmlCluster* FindCluster(const char* name) override { return clusters_.Find(name); }
    uint64_t GetPduCount() override { return pdus_.Count(); }
    IArxmlPdu* GetPdu(uint64_t index) override { return pdus_.At(index); }
    IArxmlPdu* FindPdu(const char* name) override { return pdus_.Find(name); }

    bool SetReadingMode(int32_t mode) override;
    int32_t GetReadingMode() override { return mode_; }
    uint64_t GetFrameCount() override { return framesRead_; }

    // The document's AUTOSAR version (major, minor, patch).
    const qm::arxml::AutosarVersion& AutosarVersion() const { return version_; }
    const std::vector<qm::arxml::ArxmlCluster*>& Clusters() const { return clusters_.Items(); }
    const std::vector<qm::arxml::ArxmlPdu*>& Pdus() const { return pdus_.Items(); }
    // Workers of the reference resolution (0: hardware threads less one).
    void SetResolverWorkers(unsigned workers) { workers_ = workers; }
    // Phase timings of the last load.
    const qm::arxml::ArxmlLoadTimes& LoadTimes() const { return times_; }

  private:
    void ClearContent();

    qm::arxml::AutosarVersion version_{0, 0, 0};
    bool loaded_ = false;
    // Clusters list PDUs, so they are declared (and destroyed) after them.
    qm::arxml::OwnedNamedList<qm::arxml::ArxmlPdu> pdus_;
    qm::arxml::OwnedNamedList<qm::arxml::ArxmlCluster> clusters_;
    unsigned workers_ = 0;
    int32_t mode_ = kArxmlReadExact;
    uint64_t framesRead_ = 0;
    qm::arxml::ArxmlLoadTimes times_;
};
