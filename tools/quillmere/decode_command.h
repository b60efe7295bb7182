#pragma once
// "quillmere decode DB FRAME HEX" and "quillmere decode DB --log FILE|-": frames decoded through
// the frame codecs of the database's format.
#include <string>

#include "format.h"

namespace qmtool {

int RunDecode(const std::string& db, const std::string& frame, const std::string& hex,
              const std::string& logPath, const Options& options);

}  // namespace qmtool
