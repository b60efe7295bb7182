#pragma once
// The LDF reader: recognises the top-level keywords line by line and hands each section to its
// parser, filling the model and the message log.
#include <string>
#include <string_view>

#include "ldf/netconfig_ldf_file.h"
#include "platform/input_file.h"

namespace qm::ldf {

// Reads text into model (which the caller has cleared) and appends the reader's messages to
// messages, without the timing line. Returns 1 when the text was read to its end, 0 when
// reading stopped. input, when given, is the file the text is mapped from; tolerant reads what
// ILdfTolerantReading describes.
uint8_t ReadLdfText(LdfModel& model, std::string& messages, std::string_view text,
                    platform::InputFile* input = nullptr, bool tolerant = false);

// After a load: binds the configurable frames and dynamic frame ids named while reading.
void BindPendingReferences(LdfModel& model);

// True when raw begins with one of the top-level keywords.
bool IsTopLevelKeyword(std::string_view raw);

}  // namespace qm::ldf
