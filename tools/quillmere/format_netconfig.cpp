// The network-configuration view of the tool (--format netconfig): DBC, LDF and ARXML files
// gathered into one network configuration, one database per bus, read, decoded and converted
// through the format-neutral network model.
#include <algorithm>
#include <cctype>
#include <cmath>
#include <filesystem>
#include <map>
#include <memory>
#include <ostream>
#include <sstream>
#include <string>
#include <vector>

#include "codec_models/model_codecs.h"
#include "format.h"
#include "netconfig/net_config.h"
#include "netmodel_json.h"
#include "network_load.h"

namespace qmtool {
namespace {

namespace fs = std::filesystem;

const char* ResultText(uint8_t code) {
    switch (code) {
        case kNetLoadOk:
            return "loaded";
        case kNetLoadWithWarnings:
            return "loaded with warnings";
        case kNetLoadUnsupportedKeyword:
            return "stopped at a keyword that is not supported";
        case kNetLoadUndefinedTag:
            return "stopped at an undefined tag";
        case kNetLoadFileNotOpened:
            return "file not opened";
        case kNetLoadFormatNotSupported:
            return "format not supported";
        default:
            return "load failed";
    }
}

class NetConfigFormat : public FileFormat {
  public:
    std::string Name() const override { return "netconfig"; }
    std::string ClassVersion() const override { return NetConfig::kVersion; }
    // Chosen with --format netconfig only; the extensions belong to the file formats.
    bool Accepts(const fs::path&) const override { return false; }

    Json Info(const std::string& path, const Options& options) override {
        const Loaded loaded = Load(path, options);
        Json databases = Json::array();
        for (uint64_t i = loaded.first; i < Config().GetDataBaseCount(); ++i) {
            databases.push_back(DatabaseSummary(*Config().GetDataBase(i)));
        }
        Json info = Json{{"path", path},
                         {"kind", "netconfig"},
                         {"status", ResultText(loaded.code)},
                         {"result", loaded.code}};
        if (LowerExtension(path) == ".arxml") {
            info["readingMode"] = Config().GetArxmlReadingMode() == kArxmlReadWholeDocument
                                      ? "whole document"
                                      : "exact";
        }
        info["databases"] = databases;
        return info;
    }

    Json Dump(const std::string& path, const Options& options) override {
        const Loaded loaded = Load(path, options);
        Json databases = Json::array();
        for (uint64_t i = loaded.first; i < Config().GetDataBaseCount(); ++i) {
            databases.push_back(DatabaseJson(*Config().GetDataBase(i)));
        }
        return Json{{"path", path}, {"status", ResultText(loaded.code)}, {"databases", databases}};
    }

    CheckResult Check(const std::string& path, const Options& options) override {
        const Loaded loaded = Load(path, options);
        CheckResult result;
        result.messages = SplitLines(Config().GetLastMessages());
        result.status = std::to_string(loaded.code) + " " + ResultText(loaded.code);
        result.exitCode = loaded.code == kNetLoadOk             ? kCheckClean
                          : loaded.code == kNetLoadWithWarnings ? kCheckWarnings
                                                                : kCheckFailed;
        return result;
    }

    // The messages of the databases of the file, first of an identifier or name first;
    // signals are selected by their multiplexing.
    const qm::codec::FrameCatalog* Frames(const std::string& path,
                                          const Options& options) override {
        const Loaded& loaded = Cached(path, options);
        auto& slot = frames_[path];
        if (!slot) {
            slot = std::make_unique<qm::codec::FrameCatalog>();
            for (uint64_t i = loaded.first; i < loaded.end; ++i) {
                INetDataBase* db = Config().GetDataBase(i);
                for (uint64_t m = 0; m < db->GetMessageCount(); ++m) {
                    if (INetMessage* message = db->GetMessage(m))
                        slot->Add(qm::codec::BuildNetFrame(*message));
                }
            }
        }
        return slot.get();
    }

    // Writes the bus chosen by --cluster, else the first bus of the output's kind.
    bool Convert(const std::string& in, const std::string& out, const Options& options) override {
        const std::string extension = LowerExtension(out);
        const uint32_t busType = extension == ".dbc"   ? kNetBusCan
                                 : extension == ".ldf" ? kNetBusLin
                                                       : kNetBusUnknown;
        if (busType == kNetBusUnknown) return false;
        const Loaded loaded = Load(in, options);
        if (loaded.code > kNetLoadWithWarnings) {
            throw ToolError("'" + in + "' " + ResultText(loaded.code) + "; not converted");
        }
        INetDataBase* chosen = nullptr;
        for (uint64_t i = loaded.first; i < Config().GetDataBaseCount() && !chosen; ++i) {
            INetDataBase* db = Config().GetDataBase(i);
            const bool named = options.cluster.empty() || options.cluster == db->GetName();
            if (named && db->GetBusType() == busType) chosen = db;
        }
        if (chosen == nullptr) {
            throw ToolError("no " + std::string(BusTypeText(busType)) + " bus" +
                            (options.cluster.empty() ? "" : " named '" + options.cluster + "'") +
                            " in '" + in + "'");
        }
        if (!chosen->SaveAs(out.c_str())) throw WriteFailure(out);
        return true;
    }

    void Demo(const fs::path& examplesDir, std::ostream& out) override {
        out << "Network configuration (every DBC, LDF and ARXML example in one)\n";
        std::vector<fs::path> files;
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(examplesDir, error)) {
            const std::string extension = LowerExtension(entry.path().string());
            if (extension == ".dbc" || extension == ".ldf" || extension == ".arxml") {
                files.push_back(entry.path());
            }
        }
        std::sort(files.begin(), files.end());
        NetConfig config;
        for (const fs::path& file : files) {
            out << "  " << file.filename().string() << ": "
                << ResultText(LoadInto(config, file.string())) << '\n';
        }
        for (uint64_t i = 0; i < config.GetDataBaseCount(); ++i) {
            INetDataBase* db = config.GetDataBase(i);
            out << "  " << BusTypeText(db->GetBusType()) << " bus " << db->GetName() << ": "
                << db->GetEcuCount() << " ECUs, " << db->GetMessageCount() << " messages, "
                << db->GetSignalCount() << " signals\n";
        }
    }

  private:
    // The databases a load added: [first, end).
    struct Loaded {
        uint8_t code = kNetLoadFailed;
        uint64_t first = 0;
        uint64_t end = 0;
    };

    static uint8_t LoadInto(NetConfig& config, const std::string& path) {
        const std::string extension = LowerExtension(path);
        if (extension == ".dbc") return config.LoadDbc(path.c_str());
        if (extension == ".ldf") return config.LoadLdf(path.c_str());
        if (extension == ".arxml") return config.LoadArxml(path.c_str());
        throw ToolError("'" + path + "' is no DBC, LDF or ARXML file");
    }

    // Every file of one run goes into the same configuration, one database per bus. DBC and LDF
    // are read tolerantly and ARXML whole unless --exact asks for the described readers.
    Loaded Load(const std::string& path, const Options& options) {
        UseNetworkReaders(Config(), options);
        Loaded loaded;
        loaded.first = Config().GetDataBaseCount();
        loaded.code = LoadInto(Config(), path);
        loaded.end = Config().GetDataBaseCount();
        if (loaded.code == kNetLoadFileNotOpened) throw ToolError("cannot open '" + path + "'");
        return loaded;
    }

    // A candump log decodes many frames against one file; it is loaded once.
    const Loaded& Cached(const std::string& path, const Options& options) {
        for (const auto& [cachedPath, loaded] : cache_) {
            if (cachedPath == path) return loaded;
        }
        cache_.emplace_back(path, Load(path, options));
        return cache_.back().second;
    }

    // Made on first use: every format is registered at start-up, and a NetConfig's first XML
    // node claims a 2 MiB slab of the node pool, which commands on other formats never need.
    NetConfig& Config() {
        if (!config_) config_ = std::make_unique<NetConfig>();
        return *config_;
    }

    std::unique_ptr<NetConfig> config_;
    std::vector<std::pair<std::string, Loaded>> cache_;
    std::map<std::string, std::unique_ptr<qm::codec::FrameCatalog>> frames_;
};

}  // namespace
}  // namespace qmtool

using qmtool::NetConfigFormat;
QM_REGISTER_FORMAT(NetConfigFormat)
