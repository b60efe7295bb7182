#include "network_load.h"

#include <cctype>
#include <filesystem>

#include "dbc/netconfig_dbc_file.h"
#include "exit_owned.h"
#include "netconfig/net_config.h"
#include "text_encoding.h"

namespace qmtool {

namespace {

namespace fs = std::filesystem;

void DecodeTexts(AttributeMap& attributes, const TextDecoder& decoder) {
    AttributeMap decoded;
    for (const auto& [name, value] : attributes) {
        decoded.emplace(decoder.ToUtf8(name), decoder.ToUtf8(value));
    }
    attributes = std::move(decoded);
}

// Only files that are not UTF-8 pay for this walk.
void DecodeTexts(NetworkView& view, const TextDecoder& decoder) {
    const auto decode = [&](std::string& text) { text = decoder.ToUtf8(text); };
    decode(view.name);
    DecodeTexts(view.attributes, decoder);
    view.nodeByName.clear();
    for (size_t i = 0; i < view.nodes.size(); ++i) {
        decode(view.nodes[i].name);
        DecodeTexts(view.nodes[i].attributes, decoder);
        view.nodeByName.emplace(view.nodes[i].name, i);
    }
    view.frameByName.clear();
    for (size_t i = 0; i < view.frames.size(); ++i) {
        FrameView& frame = view.frames[i];
        decode(frame.name);
        decode(frame.sender);
        DecodeTexts(frame.attributes, decoder);
        frame.signalByName.clear();
        for (size_t s = 0; s < frame.signals.size(); ++s) {
            SignalView& signal = frame.signals[s];
            decode(signal.name);
            decode(signal.unit);
            for (std::string& receiver : signal.receivers) decode(receiver);
            for (ValueText& value : signal.valueTexts) decode(value.text);
            decode(signal.multiplexing);
            DecodeTexts(signal.attributes, decoder);
            frame.signalByName.emplace(signal.name, s);
        }
        view.frameByName.emplace(frame.name, i);
    }
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
    ExitOwned<NetConfigDbcFile> file = MakeExitOwned<NetConfigDbcFile>();
    file->SetTolerantReading(!options.exact);
    if (!file->Load(path.c_str())) throw ToolError(LoadFailure(path, 6));
    std::vector<NetworkView> views;
    NetworkView view = BuildDbcView(*file, path);
    if (options.cluster.empty() || options.cluster == view.name) views.push_back(std::move(view));
    return views;
}

std::vector<NetworkView> LoadThroughNetConfig(const std::string& path, SourceFormat format,
                                              const Options& options) {
    ExitOwned<NetConfig> config = MakeExitOwned<NetConfig>();
    config->SetTolerantDbcReading(!options.exact);
    config->SetArxmlReadingMode(options.exact ? kArxmlReadExact : kArxmlReadWholeDocument);
    const uint8_t code = LoadInto(*config, path, format);
    if (code > kNetLoadWithWarnings) throw ToolError(LoadFailure(path, code));
    std::vector<NetworkView> views;
    for (uint64_t i = 0; i < config->GetDataBaseCount(); ++i) {
        INetDataBase* database = config->GetDataBase(i);
        if (!options.cluster.empty() && options.cluster != database->GetName()) continue;
        views.push_back(BuildNetworkView(*database, format));
    }
    return views;
}

}  // namespace

std::optional<SourceFormat> NetworkFormatOf(const std::string& path) {
    std::string extension = fs::path(path).extension().string();
    for (char& c : extension) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
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
