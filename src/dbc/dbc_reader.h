#pragma once
// The DBC reader: reads the text line by line and hands each line to the section handler of
// its leading keyword.
#include <string_view>

namespace qm::dbc {

class NetConfigDbcFile;

class DbcReader {
  public:
    DbcReader(NetConfigDbcFile& file, std::string_view text) : file_(file), text_(text) {}
    // Reads every line into the (cleared) file object; returns the result of the last
    // section handler that ran (1 success, 0 failure).
    int Run();

  private:
    NetConfigDbcFile& file_;
    std::string_view text_;
};

}  // namespace qm::dbc
