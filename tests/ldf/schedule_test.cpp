// Schedule tables: the nine command kinds, the table handling and the failures of the section.
#include <gtest/gtest.h>

#include "expect_fields.h"
#include "ldf_test_support.h"

namespace qm::ldf::test {
namespace {

const std::string kAttributes =
    "Node_attributes {\n"
    "  LSM {\n    LIN_protocol = \"2.1\";\n    configured_NAD = 0x21;\n    initial_NAD = 0x01;\n"
    "    product_id = 0x4A4F, 0x4841;\n  }\n"
    "  RSM {\n    LIN_protocol = 1.3;\n    configured_NAD = 0x22;\n  }\n"
    "}\n";

bool LoadTables(NetConfigLdfFile& file, const std::string& tables,
                const std::string& protocol = "2.1") {
    return LoadText(file, Header(protocol) + kNodes + kSignalsAndFrames + kAttributes +
                              "Schedule_tables {\n" + tables + "}\n");
}

template <class Command>
Command* CommandOf(NetConfigLdfFile& file, uint64_t table, uint64_t task) {
    ITask* entry = file.GetScheduleTable(table)->GetTask(task);
    return entry ? dynamic_cast<Command*>(entry->GetCommand()) : nullptr;
}

// Every test of the suite starts from a fresh, empty NetConfigLdfFile.
class LdfSchedule : public ::testing::Test {
  protected:
    NetConfigLdfFile file;
};

TEST_F(LdfSchedule, EveryCommandKind) {
    ASSERT_TRUE(
        LoadTables(file,
                   "  All {\n"
                   "    CemFrame delay 10 ms;\n"
                   "    AssignNAD { LSM } delay 11 ms;\n"
                   "    ConditionalChangeNAD { 0x7F, 1, 3, 0x01, 0xFF, 0x20 } delay 12 ms;\n"
                   "    DataDump { LSM, 0x10, 0x80, 0, 0xFF, 0xFE } delay 13 ms;\n"
                   "    SaveConfiguration { RSM } delay 14 ms;\n"
                   "    AssignFrameIdRange { LSM, 1 } delay 15 ms;\n"
                   "    AssignFrameIdRange { LSM, 0, 0x40, 0x42, 0xFF, 0xFE } delay 16 ms;\n"
                   "    FreeFormat { 1, 2, 3, 4, 5, 6, 7, 0x3C } delay 17 ms;\n"
                   "    AssignFrameId { RSM, RsmFrame } delay 18 ms;\n"
                   "    UnassignFrameId { RSM, RsmFrame } delay 0x13 ms;\n"
                   "  }\n"));
    ILdfScheduleTable* table = file.FindScheduleTable("All");
    ASSERT_NE(table, nullptr);
    ASSERT_EQ(table->GetTaskCount(), 10u);
    for (uint64_t i = 0; i < 10; ++i) EXPECT_EQ(table->GetTask(i)->GetDelay(), 10 + i);
    const uint8_t kinds[] = {0, 1, 2, 3, 4, 5, 5, 6, 7, 8};
    for (uint64_t i = 0; i < 10; ++i) {
        EXPECT_EQ(table->GetTask(i)->GetCommand()->GetCommandKind(), kinds[i]);
    }
    EXPECT_EQ(CommandOf<IFrameCommand>(file, 0, 0)->GetFrame(), file.FindFrame("CemFrame"));
    auto* assign = CommandOf<IAssignNadCommand>(file, 0, 1);
    ASSERT_NE(assign, nullptr);
    EXPECT_EQ(assign->GetNode(), file.FindSlaveNode("LSM"));
    QM_EXPECT_FIELDS(*assign, (GetInitialNad(), 0x01), (GetNewNad(), 0x21),
                     (GetSupplierId(), 0x4A4F), (GetFunctionId(), 0x4841));
    auto* conditional = CommandOf<IConditionalChangeNadCommand>(file, 0, 2);
    QM_EXPECT_FIELDS(*conditional, (GetNad(), 0x7F), (GetId(), 1), (GetByte(), 3), (GetMask(), 1),
                     (GetInv(), 0xFF), (GetNewNad(), 0x20));
    auto* dump = CommandOf<IDataDumpCommand>(file, 0, 3);
    QM_EXPECT_FIELDS(*dump, (GetDataByte(0), 0x10), (GetDataByte(4), 0xFE), (GetDataByte(5), 0));
    EXPECT_EQ(CommandOf<ISaveConfigurationCommand>(file, 0, 4)->GetNode(),
              file.FindSlaveNode("RSM"));
    auto* shortRange = CommandOf<IAssignFrameIdRangeCommand>(file, 0, 5);
    QM_EXPECT_FIELDS(*shortRange, (GetFrameIndex(), 1), (HasPids(), 0));
    auto* longRange = CommandOf<IAssignFrameIdRangeCommand>(file, 0, 6);
    QM_EXPECT_FIELDS(*longRange, (HasPids(), 1), (GetPid(0), 0x40), (GetPid(3), 0xFE),
                     (GetPid(4), 0));
    auto* free = CommandOf<IFreeFormatCommand>(file, 0, 7);
    QM_EXPECT_FIELDS(*free, (GetDataByte(7), 0x3C), (GetDataByte(8), 0));
    EXPECT_EQ(CommandOf<IAssignFrameIdCommand>(file, 0, 8)->GetFrame(), file.FindFrame("RsmFrame"));
    EXPECT_EQ(CommandOf<IUnassignFrameIdCommand>(file, 0, 9)->GetNode(), file.FindSlaveNode("RSM"));
    EXPECT_EQ(file.GetTaskCount(), 10u);
    EXPECT_EQ(MessagesOf(file), "");
}

TEST_F(LdfSchedule, LongAssignNadNamesTheNodeByItsNad) {
    ASSERT_TRUE(
        LoadTables(file, "  T {\n    AssignNAD { 0x01, 0x1234, 0x5678, 0x22 } delay 5 ms;\n  }\n"));
    auto* assign = CommandOf<IAssignNadCommand>(file, 0, 0);
    ASSERT_NE(assign, nullptr);
    EXPECT_EQ(assign->GetNode(), file.FindSlaveNode("RSM"));
    QM_EXPECT_FIELDS(*assign, (GetInitialNad(), 1), (GetSupplierId(), 0x1234),
                     (GetFunctionId(), 0x5678), (GetNewNad(), 0x22));
}

TEST_F(LdfSchedule, AssignNadCopiesTheStoredInitialNadOfTheSlave) {
    ASSERT_TRUE(LoadTables(file, "  T {\n    AssignNAD { RSM } delay 5 ms;\n  }\n"));
    auto* assign = CommandOf<IAssignNadCommand>(file, 0, 0);
    ASSERT_NE(assign, nullptr);
    EXPECT_EQ(file.FindSlaveNode("RSM")->HasInitialNad(), 0);
    EXPECT_EQ(assign->GetInitialNad(), file.FindSlaveNode("RSM")->GetInitialNad());
    QM_EXPECT_FIELDS(*assign, (GetInitialNad(), 0), (GetNewNad(), 0x22), (GetSupplierId(), 0),
                     (GetFunctionId(), 0));
}

TEST_F(LdfSchedule, MasterRequestIsCreatedWhenMissing) {
    ASSERT_TRUE(LoadTables(
        file, "  Diag {\n    MasterReq delay 10 ms;\n    SlaveResp delay 10 ms;\n  }\n"));
    ILdfDiagnosticFrame* request = file.FindDiagnosticFrame("MasterReq");
    ASSERT_NE(request, nullptr);
    QM_EXPECT_FIELDS(*request, (GetFrameId(), 0), (GetDiagnosticSignalCount(), 0u));
    EXPECT_EQ(CommandOf<IFrameCommand>(file, 0, 0)->GetFrame(), file.FindFrame("MasterReq"));
    EXPECT_EQ(file.GetDiagnosticFrameCount(), 2u);
    EXPECT_EQ(file.IndexOfFrame(file.FindFrame("SlaveResp")), 4u);
}

TEST_F(LdfSchedule, TablesOfTheSameNameAreJoined) {
    ASSERT_TRUE(LoadTables(file,
                           "  A {\n    CemFrame delay 1 ms;\n  }\n"
                           "  B {\n    LsmFrame delay 2 ms;\n  }\n"
                           "  A {\n    RsmFrame delay 3 ms;\n  }\n"));
    ASSERT_EQ(file.GetScheduleTableCount(), 2u);
    EXPECT_STREQ(file.GetScheduleTable(0)->GetName(), "B");
    ILdfScheduleTable* joined = file.GetScheduleTable(1);
    QM_EXPECT_FIELDS(*joined, (GetName(), "A"), (GetTaskCount(), 2u));
    EXPECT_EQ(
        MessagesOf(file),
        "WARNING. Schedule table with name of A already exists. Warning for line(46)   A {;\r\n");
}

TEST_F(LdfSchedule, TablesNamedAgainInALaterSectionMoveToTheEnd) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes + kSignalsAndFrames +
                                   "Schedule_tables {\n  A {\n    CemFrame delay 1 ms;\n  }\n"
                                   "  B {\n    CemFrame delay 1 ms;\n  }\n"
                                   "  C {\n    CemFrame delay 1 ms;\n  }\n}\n"
                                   "Schedule_tables {\n  A {\n    LsmFrame delay 2 ms;\n  }\n"
                                   "  D {\n    LsmFrame delay 2 ms;\n  }\n"
                                   "  B {\n    LsmFrame delay 2 ms;\n  }\n}\n"));
    std::string order;
    for (uint64_t i = 0; i < file.GetScheduleTableCount(); ++i)
        order += file.GetScheduleTable(i)->GetName();
    EXPECT_EQ(order, "CADB");
    EXPECT_EQ(file.FindScheduleTable("B")->GetTaskCount(), 2u);
}

// Each section binds the collision tables still unbound, so a table of a later section is found.
TEST_F(LdfSchedule, CollisionTableOfALaterSectionIsBound) {
    ASSERT_TRUE(LoadText(file, Header() + kNodes + kSignalsAndFrames +
                                   "Event_triggered_frames {\n  E: Late, 0x10, LsmFrame;\n}\n"
                                   "Schedule_tables {\n  A {\n    CemFrame delay 1 ms;\n  }\n}\n"
                                   "Schedule_tables {\n  Late {\n    E delay 1 ms;\n  }\n}\n"));
    EXPECT_EQ(file.FindEventTriggeredFrame("E")->GetCollisionResolvingScheduleTable(),
              file.FindScheduleTable("Late"));
    EXPECT_EQ(MessagesOf(file),
              "WARNING. An event triggered frame uses not defined resolved schedule table: "
              "Late.\r\n");
}

TEST_F(LdfSchedule, UnknownFirstTokenStopsTheLoad) {
    EXPECT_FALSE(LoadTables(file, "  T {\n    CemFrame delay 1 ms;\n    Ghost delay 1 ms;\n  }\n"));
    EXPECT_EQ(MessagesOf(file),
              "Missing frame definition: Ghost. Line(42)     Ghost delay 1 ms;.\r\n");
    EXPECT_EQ(file.GetResultCode(), 28);
    EXPECT_EQ(file.GetScheduleTable(0)->GetTaskCount(), 1u);
}

TEST_F(LdfSchedule, CommandsThatCannotBeBuiltStopTheLoad) {
    const char* entries[] = {
        "    AssignNAD { Nobody } delay 1 ms;\n",
        "    DataDump { LSM, 1, 2 } delay 1 ms;\n",
        "    AssignFrameId { LSM, Ghost } delay 1 ms;\n",
        "    AssignFrameId { LSM, CemFrame } delay 10ms;\n",  // too few tokens
        "    CemFrame 10 ms;\n",                              // no delay
    };
    for (const char* entry : entries) {
        NetConfigLdfFile file;
        EXPECT_FALSE(LoadTables(file, std::string("  T {\n") + entry + "  }\n")) << entry;
        EXPECT_EQ(file.GetResultCode(), 28) << entry;
        EXPECT_EQ(MessagesOf(file).rfind("Check Schedule Table Command: ", 0), 0u) << entry;
        EXPECT_EQ(file.GetScheduleTable(0)->GetTaskCount(), 0u) << entry;
    }
}

// The PIDs are read only when all four are written; fewer leave the command without them.
TEST_F(LdfSchedule, AssignFrameIdRangeTakesThePidsOnlyWhenAllFourAreWritten) {
    ASSERT_TRUE(
        LoadTables(file,
                   "  T {\n    AssignFrameIdRange { LSM, 1, 0x40 } delay 5 ms;\n"
                   "    AssignFrameIdRange { LSM, 2, 0x40, 0x41, 0x42 } delay 6 ms;\n  }\n"));
    for (uint64_t task = 0; task < 2; ++task) {
        auto* range = CommandOf<IAssignFrameIdRangeCommand>(file, 0, task);
        ASSERT_NE(range, nullptr);
        QM_EXPECT_FIELDS(*range, (GetFrameIndex(), task + 1), (HasPids(), 0), (GetPid(0), 0));
        EXPECT_EQ(file.GetScheduleTable(0)->GetTask(task)->GetDelay(), task + 5);
    }
}

// FreeFormat needs no count of bytes: the missing ones are 0.
TEST_F(LdfSchedule, ShortFreeFormatFillsWithZeros) {
    ASSERT_TRUE(LoadTables(file, "  T {\n    FreeFormat { 1, 2, 3 } delay 4 ms;\n  }\n"));
    auto* free = CommandOf<IFreeFormatCommand>(file, 0, 0);
    ASSERT_NE(free, nullptr);
    QM_EXPECT_FIELDS(*free, (GetDataByte(0), 1u), (GetDataByte(2), 3u), (GetDataByte(3), 0u),
                     (GetDataByte(7), 0u));
    EXPECT_EQ(file.GetScheduleTable(0)->GetTask(0)->GetDelay(), 4u);
}

TEST_F(LdfSchedule, AssignFrameIdToLin13NodeUnderLin22) {
    ASSERT_TRUE(
        LoadTables(file, "  T {\n    AssignFrameId { RSM, RsmFrame } delay 1 ms;\n  }\n", "2.2"));
    EXPECT_NE(MessagesOf(file).find("WARNING. AssignFrameId, which is handled in schedule table, "
                                    "applies node from LIN 1.3 protocol. That request cannot be "
                                    "used for such nodes.\r\n"),
              std::string::npos);
}

// The slave's LIN_protocol is kept as written, quotes included: the described reader compares
// that text with 1.3 as a whole, so a quoted "1.3" is no match; read tolerantly, it is.
TEST_F(LdfSchedule, AssignFrameIdComparesTheLinProtocolAsWritten) {
    const std::string quoted =
        Header("2.2") + kNodes + kSignalsAndFrames +
        "Node_attributes {\n  RSM {\n    LIN_protocol = \"1.3\";\n  }\n}\n"
        "Diagnostic_addresses {\n}\n"
        "Schedule_tables {\n  T {\n    AssignFrameId { RSM, RsmFrame } delay 1 ms;\n  }\n}\n";
    const std::string warning = "WARNING. AssignFrameId, which is handled in schedule table";
    ASSERT_TRUE(LoadText(file, quoted));
    EXPECT_STREQ(file.FindSlaveNode("RSM")->GetLinProtocol(), "\"1.3\"");
    EXPECT_EQ(MessagesOf(file), "");
    NetConfigLdfFile tolerant;
    ASSERT_TRUE(LoadTolerantText(tolerant, quoted));
    EXPECT_NE(MessagesOf(tolerant).find(warning), std::string::npos);
}

TEST_F(LdfSchedule, UnclosedSectionEndsAtTheNextKeyword) {
    EXPECT_TRUE(LoadText(file, Header() + kNodes + kSignalsAndFrames +
                                   "Schedule_tables {\n  T {\n    CemFrame delay 5 ms;\n"
                                   "Signal_encoding_types {\n  E {\n    bcd_value;\n  }\n}\n"));
    EXPECT_EQ(MessagesOf(file),
              "Schedule tables section not closed but new section started. Line(30) "
              "Signal_encoding_types {.\r\n");
    QM_EXPECT_FIELDS(file, (GetEncodingTypeCount(), 1u), (GetTaskCount(), 1u));
}

// A delay with its unit glued on stops the described reader (the entry is a token short);
// tolerant reading takes it as "delay 10 ms" and says so. Other glued words still stop it.
TEST_F(LdfSchedule, GluedDelayUnitIsReadOnlyWhenTolerant) {
    const std::string tables = "  T {\n    AssignFrameId { RSM, RsmFrame } delay 10ms;\n  }\n";
    EXPECT_FALSE(LoadTables(file, tables));
    EXPECT_EQ(file.GetResultCode(), 28);
    file.SetTolerantReading(true);
    ASSERT_TRUE(LoadTables(file, tables));
    QM_EXPECT_FIELDS(file, (GetResultCode(), 0), (GetTaskCount(), 1u));
    EXPECT_EQ(file.GetScheduleTable(0)->GetTask(0)->GetDelay(), 10);
    EXPECT_NE(MessagesOf(file).find("WARNING. Delay written without a blank before its unit, "
                                    "read as \"10 ms\". Line("),
              std::string::npos);
    EXPECT_FALSE(LoadTables(file, "  T {\n    AssignFrameId { RSM, RsmFrame } delay 10s;\n  }\n"));
    EXPECT_EQ(file.GetResultCode(), 28);
}

}  // namespace
}  // namespace qm::ldf::test
