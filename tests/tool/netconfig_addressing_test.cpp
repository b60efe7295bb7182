// "--format netconfig" reports a 29-bit identifier as extended in "dump" and "decode", from a
// DBC file (identifier bit 31) and from ARXML (CAN-ADDRESSING-MODE EXTENDED).
#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>

#include "tool_support.h"

namespace {

struct AddressingCase {
    const char* file;
    const char* frame;
    uint32_t id;
    bool extended;
};

class NetconfigAddressing : public ::testing::TestWithParam<AddressingCase> {};

const json* FindMessage(const json& dump, const std::string& name) {
    for (const json& database : dump["databases"]) {
        for (const json& message : database["messageList"]) {
            if (message["name"] == name) return &message;
        }
    }
    return nullptr;
}

TEST_P(NetconfigAddressing, DumpAndDecodeReportTheAddressing) {
    const AddressingCase& c = GetParam();
    const std::string path = Quote((kExamples / c.file).string());
    const json model = RunJson("dump --format netconfig --json " + path);
    const json* message = FindMessage(model, c.frame);
    ASSERT_NE(message, nullptr) << c.frame;
    EXPECT_EQ((*message)["id"], c.id);
    EXPECT_EQ((*message)["extended"], c.extended);

    const json frame = RunJson("decode --format netconfig --json " + path + " " +
                               std::to_string(c.id) + " 0000000000000000");
    EXPECT_EQ(frame["name"], c.frame);
    EXPECT_EQ(frame["extended"], c.extended);
}

INSTANTIATE_TEST_SUITE_P(
    Examples, NetconfigAddressing,
    ::testing::Values(AddressingCase{"powertrain.dbc", "EngineData", 0x100, false},
                      AddressingCase{"powertrain.dbc", "DashboardStatus", 0x18FEF000, true},
                      AddressingCase{"bus_system.arxml", "EngineData", 0x100, false},
                      AddressingCase{"bus_system.arxml", "GatewayStatus", 0x18FF0020, true}),
    [](const auto& info) {
        return std::string(fs::path(info.param.file).stem()) + "_" + info.param.frame;
    });

}  // namespace
