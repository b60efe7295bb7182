#include "network_load.h"

#include <filesystem>

#include "dbc/netconfig_dbc_file.h"
#include "exit_owned.h"
#include "netconfig/net_config.h"
#include "text_encoding.h"

namespace qmtool {

namespace {

namespace fs = std::filesystem;

// Only files that are not UTF-8 pay for this walk.
void DecodeTexts(NetworkView& view, const TextDecoder& decoder) {
    const auto decode = [&](std::string_view& text) {
        if (!text.empty()) text = view.Keep(decoder.ToUtf8(text));
    };
    const auto decodeAll = [&](AttributeMap& attributes) {
        for (auto& [name, value] : attributes) {
            decode(name);
            decode(value);
        }
        SortAttributes(attributes);
    };
    view.name = decoder.ToUtf8(view.name);
    decodeAll(view.attributes);
    for (NodeView& node : view.nodes) {
        decode(node.name);
        decodeAll(node.attributes);
    }
    for (FrameView& frame : view.frames) {
        decode(frame.name);
        decode(frame.sender);
        decodeAll(frame.attributes);
        for (SignalView& signal : frame.signals) {
            decode(signal.name);
            decode(signal.unit);
            for (std::string_view& receiver : signal.receivers) decode(receiver);
            for (ValueText& value : signal.valueTexts) decode(value.text);
            signal.multiplexing = decoder.ToUtf8(signal.multiplexing);
            decodeAll(signal.attributes);
        }
        IndexSignals(frame);
    }
    view.IndexNames();
}

uint8_t LoadInto(NetConfig& config, const std::string& path, SourceFormat format) {
    switch (format) {
        case SourceFormat::kDbc:
            return config.LoadDbc(path.c_str());
        case SourceFormat::kLdf:
            return config.LoadLdf(path.c_str());
        default:
            return config.LoadArxml(path.c_str());
    }
}

std::string LoadFailure(const std::string& path, uint8_t code) {
    return "'" + path + "' cannot be read (load result " + std::to_string(code) + ")";
}

// DBC files are read into their own model: a DBC file object is all the view needs.
std::vector<NetworkView> LoadDbcView(const std::string& path, const Options& options) {
    std::shared_ptr<NetConfigDbcFile> file(new NetConfigDbcFile, ExitDeleter<NetConfigDbcFile>());
    file->SetTolerantReading(!options.exact);
    if (!file->Load(path.c_str())) throw ToolError(LoadFailure(path, 6));
    std::vector<NetworkView> views;
    NetworkView view = BuildDbcView(*file, path);
    view.model = file;
    if (options.cluster.empty() || options.cluster == view.name) views.push_back(std::move(view));
    return views;
}

std::vector<NetworkView> LoadThroughNetConfig(const std::string& path, SourceFormat format,
                                              const Options& options) {
    std::shared_ptr<NetConfig> config(new NetConfig, ExitDeleter<NetConfig>());
    UseNetworkReaders(*config, options);
    const uint8_t code = LoadInto(*config, path, format);
    if (code > kNetLoadWithWarnings) throw ToolError(LoadFailure(path, code));
    std::vector<NetworkView> views;
    for (uint64_t i = 0; i < config->GetDataBaseCount(); ++i) {
        INetDataBase* database = config->GetDataBase(i);
        if (!options.cluster.empty() && options.cluster != database->GetName()) continue;
        views.push_back(BuildNetworkView(*database, format));
        views.back().model = config;
    }
    return views;
}

}  // namespace

void UseNetworkReaders(NetConfig& config, const Options& options) {
    config.SetTolerantDbcReading(!options.exact);
    config.SetTolerantLdfReading(!options.exact);
    config.SetArxmlReadingMode(options.exact ? kArxmlReadExact : kArxmlReadWholeDocument);
}

std::optional<SourceFormat> NetworkFormatOf(const std::string& path) {
    const std::string extension = LowerExtension(path);
    if (extension == ".dbc") return SourceFormat::kDbc;
    if (extension == ".ldf") return SourceFormat::kLdf;
    if (extension == ".arxml") return SourceFormat::kArxml;
    return std::nullopt;
}

// DBC is read tolerantly and ARXML whole unless --exact asks for the described readers.
std::vector<NetworkView> LoadNetworkViews(const std::string& path, SourceFormat format,
                                          const Options& options) {
    if (!fs::exists(path)) throw ToolError("cannot open '" + path + "'");
    std::vector<NetworkView> views = format == SourceFormat::kDbc
                                         ? LoadDbcView(path, options)
                                         : LoadThroughNetConfig(path, format, options);
    const TextDecoder decoder = [&] {
        try {
            return TextDecoder::ForFile(path, options.encoding);
        } catch (const UnknownEncoding& e) {
            throw ToolError(e.what());
        }
    }();
    if (decoder.Name() != TextDecoder::kUtf8) {
        for (NetworkView& view : views) DecodeTexts(view, decoder);
    }
    return views;
}

}  // namespace qmtool
