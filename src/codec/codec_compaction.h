#pragma once
// Codecs made while a model is read lie among the model's blocks: once the model is freed, a
// third of the pages they touch would stay resident for holes. Copied on a thread of their own
// (which the C library gives a heap of its own), they lie side by side, and the pages that hold
// nothing any more go back to the system. Used where only the codecs outlive a load (the
// Python package's load_frames, the tool's log decoding).
#include <exception>
#include <memory>
#include <system_error>
#include <thread>
#include <utility>
#include <vector>

#include "codec/frame_codec.h"

namespace qm::codec {

// Hands the free pages of every heap back to the system (with the C library's heap; nothing
// elsewhere).
void TrimHeaps();

// Runs `work` on a thread of its own and waits for it: the C library gives a new thread a heap
// of its own, so what `work` allocates lies apart from the caller's blocks. Its exception is
// the caller's; where no thread can be started, `work` runs here (same result, shared heap).
template <class Work>
void OnOwnHeap(Work&& work) {
    std::exception_ptr failure;
    std::thread worker;
    try {
        worker = std::thread([&] {
            try {
                work();
            } catch (...) {
                failure = std::current_exception();
            }
        });
    } catch (const std::system_error&) {
        work();
        return;
    }
    worker.join();
    if (failure) std::rethrow_exception(failure);
}

// The codecs copied side by side, a batch at a time: the thread copies, the caller frees the
// originals (the thread would take its own freed blocks back for the next copies) and hands the
// pages that hold nothing any more back to the system, so that the copies never come on top of
// all the originals.
void MoveApart(std::vector<std::unique_ptr<FrameCodec>>& codecs);

// The catalog's codecs moved apart, and its look-up tables made again beside them (they were
// filled among the codecs too). Frames keep their places (CatalogIndex).
void MoveApart(FrameCatalog& catalog);

}  // namespace qm::codec
