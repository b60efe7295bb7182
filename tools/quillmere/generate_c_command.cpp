#include "generate_c_command.h"

#include <filesystem>
#include <iostream>
#include <unordered_map>

#include "c_code_plan.h"
#include "c_code_writer.h"
#include "codec/frame_codec.h"
#include "network_load.h"
#include "platform/files.h"

namespace qmtool {

namespace {

namespace fs = std::filesystem;

uint64_t KeyOf(uint32_t id, bool extended) {
    return (uint64_t{extended} << 32) | id;
}

// The cycle times the network views give, by frame key (the first frame of a key wins, as in
// the catalog). A file whose frames load but whose network model does not (an LDF the network
// configuration refuses) gets its code without cycle times, and a warning.
class CycleTimes {
  public:
    CycleTimes(const std::string& db, SourceFormat format, const Options& options) {
        std::vector<NetworkView> views;
        try {
            views = LoadNetworkViews(db, format, options);
        } catch (const ToolError& error) {
            std::cerr << "quillmere: warning: no cycle times: " << error.what() << '\n';
        }
        for (const NetworkView& view : views) {
            for (const FrameView& frame : view.frames) {
                if (frame.cycleTimeMs > 0) byKey_.try_emplace(FrameKey(frame), frame.cycleTimeMs);
            }
        }
    }
    std::optional<double> Of(const qm::codec::FrameCodec& frame) const {
        const auto found = byKey_.find(KeyOf(frame.id, frame.extended));
        if (found == byKey_.end()) return std::nullopt;
        return found->second;
    }

  private:
    std::unordered_map<uint64_t, double> byKey_;
};

void WriteText(const fs::path& path, const std::string& text) {
    const qm::platform::FileStatus status = qm::platform::WriteFileAtomic(path.string(), text);
    if (!status.ok) throw ToolError("cannot write '" + path.string() + "': " + status.errorText);
}

}  // namespace

int RunGenerateC(const std::string& db, const std::string& directory, const std::string& prefix,
                 const Options& options) {
    const std::optional<SourceFormat> network = NetworkFormatOf(db);
    FileFormat& format = FormatFor(db, options);
    const qm::codec::FrameCatalog* frames = format.Frames(db, options);
    if (frames == nullptr || !network) {
        throw ToolError("generate-c takes a DBC, LDF or ARXML file, not " + format.Name());
    }
    const CycleTimes cycleTimes(db, *network, options);
    const std::string stem = prefix.empty() ? fs::path(db).stem().string() : prefix;
    const ccode::CDatabase database = ccode::PlanCDatabase(
        *frames, stem, fs::path(db).filename().string(),
        [&](const qm::codec::FrameCodec& frame) { return cycleTimes.Of(frame); });
    for (const std::string& name : database.containers) {
        std::cerr << "quillmere: warning: " << name
                  << " sends PDUs behind headers (no fixed layout); not generated\n";
    }
    std::error_code error;
    fs::create_directories(directory, error);
    if (error) throw ToolError("cannot create '" + directory + "': " + error.message());
    const fs::path header = fs::path(directory) / (database.prefix + ".h");
    const fs::path source = fs::path(directory) / (database.prefix + ".c");
    const ccode::CCodeWriter writer(database);
    WriteText(header, writer.Header());
    WriteText(source, writer.Source(header.filename().string()));
    if (options.json) {
        const Json result{{"header", header.string()},
                          {"source", source.string()},
                          {"prefix", database.prefix},
                          {"frames", database.frames.size()},
                          {"signals", database.SignalCount()}};
        std::cout << result.dump(2) << '\n';
    } else {
        std::cout << header.string() << '\n' << source.string() << '\n';
    }
    return 0;
}

}  // namespace qmtool
