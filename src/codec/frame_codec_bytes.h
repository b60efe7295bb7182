#pragma once
// Frame codecs as bytes and back. A process that has read a database hands the codecs of the
// frames it needs to another process (a Dask worker) in this form, so that the other parses
// nothing: what a builder sets is written, and reading calls Prepare() again, so the codecs
// read decode and encode exactly as the ones written.
//
// The form belongs to one build of the project (native byte order, a version tag checked on
// reading); it is a transport between processes, not a file format.
#include <memory>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "codec/frame_codec.h"

namespace qm::codec {

// Bytes that are no frame codecs of this form; the message says what is wrong and where.
struct FrameBytesError : std::invalid_argument {
    using std::invalid_argument::invalid_argument;
};

// The frames, in order, as bytes.
std::string FramesToBytes(const std::vector<const FrameCodec*>& frames);
// The frames of FramesToBytes, prepared. Throws FrameBytesError for bytes that are cut short,
// have bytes left over, or hold values no builder makes (an unknown kind, a field beyond 65535
// bits, a count larger than the bytes that are left could hold).
std::vector<std::unique_ptr<FrameCodec>> FramesFromBytes(std::string_view bytes);

}  // namespace qm::codec
