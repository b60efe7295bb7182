#include "codec/codec_compaction.h"

#ifdef __GLIBC__
#include <malloc.h>
#endif

#include <algorithm>
#include <optional>

namespace qm::codec {

void TrimHeaps() {
#ifdef __GLIBC__
    ::malloc_trim(0);
#endif
}

void MoveApart(std::vector<std::unique_ptr<FrameCodec>>& codecs) {
    constexpr size_t kBatch = 512;
    std::vector<std::unique_ptr<FrameCodec>> copies(kBatch);
    for (size_t first = 0; first < codecs.size(); first += kBatch) {
        const size_t end = std::min(codecs.size(), first + kBatch);
        OnOwnHeap([&] {
            for (size_t i = first; i < end; ++i)
                copies[i - first] = std::make_unique<FrameCodec>(*codecs[i]);
        });
        for (size_t i = first; i < end; ++i) codecs[i] = std::move(copies[i - first]);
        TrimHeaps();
    }
}

void MoveApart(FrameCatalog& catalog) {
    std::vector<std::unique_ptr<FrameCodec>> frames = std::move(catalog.frames_);
    std::vector<std::pair<std::string, size_t>> aliases = std::move(catalog.aliases_);
    catalog = FrameCatalog();  // its tables named the codecs about to move
    MoveApart(frames);
    std::optional<FrameCatalog> rebuilt;
    OnOwnHeap([&] {
        rebuilt.emplace();
        rebuilt->frames_.reserve(frames.size());
        for (auto& frame : frames) rebuilt->Add(std::move(frame));
        for (auto& [name, index] : aliases) rebuilt->AddAlias(std::move(name), index);
    });
    frames = std::vector<std::unique_ptr<FrameCodec>>();
    catalog = std::move(*rebuilt);
    TrimHeaps();
}

}  // namespace qm::codec
