#pragma once
// The DBC reader: reads the text line by line and hands each line to the section handler of
// its leading keyword.
#include <string_view>

#include "platform/input_file.h"

namespace qm::dbc {

class NetConfigDbcFile;

class DbcReader {
  public:
    // input, when given, is the file the text is mapped from.
    DbcReader(NetConfigDbcFile& file, std::string_view text, platform::InputFile* input = nullptr)
        : file_(file), text_(text), input_(input) {}
    // Reads every line into the (cleared) file object; returns the result of the last
    // section handler that ran (1 success, 0 failure).
    int Run();

  private:
    NetConfigDbcFile& file_;
    std::string_view text_;
    platform::InputFile* input_;
};

}  // namespace qm::dbc
