// The container file of the facade: its frame, the network configurations inside, atomic
// saving, and what loading makes of later versions and of bad input.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "dbc/dbc_test_support.h"
#include "facade/quillmere.h"

namespace {

using ::testing::HasSubstr;

namespace fs = std::filesystem;

const std::string kDbc = std::string(QM_SOURCE_DIR) + "/examples/powertrain.dbc";
const std::string kLdf = std::string(QM_SOURCE_DIR) + "/examples/body.ldf";

using Folder = dbctest::TempFolder;
using dbctest::ReadFile;
using dbctest::WriteText;

struct Facade {
    Facade() : config(static_cast<NetConfig*>(facade.CreateNetConfig())) {}
    Quillmere facade;
    NetConfig* config;
};

// The container file of a facade holding the example DBC, then the example LDF.
std::string SaveExamples(const Folder& folder) {
    Facade source;
    EXPECT_EQ(source.config->LoadDbc(kDbc.c_str()), kNetLoadOk);
    EXPECT_EQ(source.config->LoadLdf(kLdf.c_str()), kNetLoadOk);
    const std::string path = folder.File("both.xml");
    EXPECT_TRUE(source.facade.SaveToFile(path.c_str()));
    return path;
}

// Every test of these suites starts from the examples' container file.
class ContainerFrame : public ::testing::Test {
  protected:
    Folder folder;
    const std::string path = SaveExamples(folder);
};
using ContainerSave = ContainerFrame;

const char* kDeclaration = "<?xml version=\"1.0\" encoding=\"UTF-8\" standalone=\"yes\"?>\r\n";

}  // namespace

TEST_F(ContainerFrame, BusesAreStoredInDatabaseOrderAndRebuiltLinFirst) {
    const std::string text = ReadFile(path);
    ASSERT_EQ(text.rfind(kDeclaration, 0), 0u);
    const size_t dbc = text.find("\r\n         <DBC>\r\n");
    const size_t ldf = text.find("\r\n         <LDF>\r\n");
    ASSERT_NE(dbc, std::string::npos);
    ASSERT_NE(ldf, std::string::npos);
    EXPECT_LT(dbc, ldf);
    EXPECT_EQ(text.find("<KOVR>\r\n   <Quillmere>\r\n      <NetConfig>\r\n"),
              std::string(kDeclaration).size());

    Facade restored;
    ASSERT_TRUE(restored.facade.LoadFromFile(path.c_str()));
    ASSERT_EQ(restored.config->GetDataBaseCount(), 2u);
    EXPECT_EQ(restored.config->GetDataBase(0)->GetBusType(), kNetBusLin);
    EXPECT_EQ(restored.config->GetDataBase(1)->GetBusType(), kNetBusCan);
    EXPECT_STREQ(restored.config->GetDataBase(1)->GetName(), "Powertrain");
    // The configuration's own element adopted the imported elements, LDF first.
    NanoXML* own = restored.config->GetXmlNode();
    ASSERT_EQ(own->children.size(), 2u);
    EXPECT_EQ(own->children[0]->name, "LDF");
    EXPECT_EQ(own->children[1]->name, "DBC");
    EXPECT_EQ(own->parent, restored.facade.GetXml());
}

TEST_F(ContainerFrame, EveryNetConfigElementGoesIntoTheNewestConfiguration) {
    const std::string one = ReadFile(path);
    // The file with its NetConfig element twice.
    const size_t begin = one.find("      <NetConfig>");
    const size_t end = one.find("</NetConfig>") + std::string("</NetConfig>").size();
    std::string two = one;
    two.insert(end, "\r\n" + one.substr(begin, end - begin));
    WriteText(folder.File("two.xml"), two);

    Quillmere facade;
    auto* older = static_cast<NetConfig*>(facade.CreateNetConfig());
    auto* newest = static_cast<NetConfig*>(facade.CreateNetConfig());
    ASSERT_TRUE(facade.LoadFromFile(folder.File("two.xml").c_str()));
    EXPECT_EQ(older->GetDataBaseCount(), 0u);
    ASSERT_EQ(newest->GetDataBaseCount(), 4u);
    // Each element rebuilds its LIN bus before its CAN bus.
    EXPECT_EQ(newest->GetDataBase(0)->GetBusType(), kNetBusLin);
    EXPECT_EQ(newest->GetDataBase(1)->GetBusType(), kNetBusCan);
    EXPECT_EQ(newest->GetDataBase(2)->GetBusType(), kNetBusLin);
}

// Elements of a later version, anywhere, are skipped; what is known still loads.
TEST_F(ContainerFrame, UnknownElementsOfALaterVersionAreSkipped) {
    std::string text = ReadFile(path);
    auto insertAfter = [&](const std::string& anchor, const std::string& extra) {
        const size_t at = text.find(anchor);
        ASSERT_NE(at, std::string::npos) << anchor;
        text.insert(at + anchor.size(), extra);
    };
    insertAfter("<Quillmere>", "<Future version=\"2\"><NetConfig/></Future>");
    insertAfter("<NetConfig>", "<FIBEX><Nodes/></FIBEX>");
    insertAfter("<DBC>", "<Bus_timing>500</Bus_timing>");
    insertAfter("<Message>", "<Multiplexing>none</Multiplexing>");
    insertAfter("<Signal>", "<Extended_value_type>float</Extended_value_type>");
    insertAfter("<LDF>", "<Lin_sig_byte_order>big</Lin_sig_byte_order>");
    insertAfter("<Frames>", "<Frame_note>x</Frame_note>");
    insertAfter("<Schedule-table>", "<Priority>1</Priority>");
    WriteText(folder.File("later.xml"), text);

    Facade plain;
    Facade later;
    ASSERT_TRUE(plain.facade.LoadFromFile(path.c_str()));
    ASSERT_TRUE(later.facade.LoadFromFile(folder.File("later.xml").c_str()));
    ASSERT_EQ(later.config->GetDataBaseCount(), 2u);
    // Saved again, both files are the same: what the later version added was skipped.
    ASSERT_TRUE(plain.facade.SaveToFile(folder.File("plain_again.xml").c_str()));
    ASSERT_TRUE(later.facade.SaveToFile(folder.File("later_again.xml").c_str()));
    EXPECT_EQ(ReadFile(folder.File("later_again.xml")), ReadFile(folder.File("plain_again.xml")));
}

// Loading twice adds the buses again; after Clear the facade starts over. Under AddressSanitizer
// this also proves that nothing leaks and nothing is used after it was freed.
TEST_F(ContainerFrame, LoadingTwiceOrAfterClearIsSafe) {
    Quillmere facade;
    auto* config = static_cast<NetConfig*>(facade.CreateNetConfig());
    ASSERT_TRUE(facade.LoadFromFile(path.c_str()));
    ASSERT_TRUE(facade.LoadFromFile(path.c_str()));
    EXPECT_EQ(config->GetDataBaseCount(), 4u);
    EXPECT_EQ(config->GetXmlNode()->children.size(), 4u);
    facade.Clear();
    config = static_cast<NetConfig*>(facade.CreateNetConfig());
    ASSERT_TRUE(facade.LoadFromFile(path.c_str()));
    EXPECT_EQ(config->GetDataBaseCount(), 2u);
    // The restored models work without the document they came from.
    INetDataBase* can = config->GetDataBase(1);
    ASSERT_NE(can->FindMessage(256u), nullptr);
    EXPECT_EQ(can->FindMessage(256u)->GetSignalCount(), 6u);
    EXPECT_TRUE(facade.DeleteNetConfig(config));
    EXPECT_TRUE(facade.GetXml()->children.empty());
}

// A restored bus saves again as DBC and LDF text, and a saved container saves the same again.
TEST_F(ContainerFrame, ARestoredConfigurationSavesTheSameContainer) {
    Facade restored;
    ASSERT_TRUE(restored.facade.LoadFromFile(path.c_str()));
    const std::string second = folder.File("second.xml");
    ASSERT_TRUE(restored.facade.SaveToFile(second.c_str()));
    Facade again;
    ASSERT_TRUE(again.facade.LoadFromFile(second.c_str()));
    const std::string third = folder.File("third.xml");
    ASSERT_TRUE(again.facade.SaveToFile(third.c_str()));
    // The first save stores DBC before LDF, every later one LDF first.
    EXPECT_EQ(ReadFile(second), ReadFile(third));
    EXPECT_TRUE(restored.config->SaveDbc(folder.File("restored.dbc").c_str(), 1));
    EXPECT_TRUE(restored.config->SaveLdf(folder.File("restored.ldf").c_str(), 0));
    Facade reread;
    EXPECT_EQ(reread.config->LoadDbc(folder.File("restored.dbc").c_str()), kNetLoadOk);
    EXPECT_EQ(reread.config->LoadLdf(folder.File("restored.ldf").c_str()), kNetLoadOk);
}

// The previous file stays as it was when a save cannot complete.
TEST_F(ContainerSave, AFailedSaveLeavesTheOldFile) {
    const std::string before = ReadFile(path);
    Facade facade;
    facade.config->LoadDbc(kDbc.c_str());
    NanoXML::ClearMessageLog();
    EXPECT_FALSE(facade.facade.SaveToFile(folder.File("missing/dir/x.xml").c_str()));
    EXPECT_THAT(NanoXML::MessageLog(), HasSubstr("NanoXML::SaveFile error nr "));

    if (::geteuid() != 0) {  // permissions do not stop root
        fs::permissions(folder.Path(), fs::perms::owner_read | fs::perms::owner_exec);
        EXPECT_FALSE(facade.facade.SaveToFile(path.c_str()));
        fs::permissions(folder.Path(), fs::perms::owner_all);
        EXPECT_EQ(ReadFile(path), before);
    }
}

// A full disk, simulated by a file size limit in a child process: the save fails and the old,
// larger file is still whole.
TEST_F(ContainerSave, AFullDiskLeavesTheOldFile) {
    const std::string before = ReadFile(path);
    ASSERT_GT(before.size(), 4096u);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        ::signal(SIGXFSZ, SIG_IGN);  // a write beyond the limit then fails with EFBIG
        const rlimit limit{4096, 4096};
        ::setrlimit(RLIMIT_FSIZE, &limit);
        Facade facade;
        facade.config->LoadDbc(kDbc.c_str());
        facade.config->LoadLdf(kLdf.c_str());
        facade.config->LoadLdf(kLdf.c_str());
        ::_exit(facade.facade.SaveToFile(path.c_str()) ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 1) << "the save should have failed";
    EXPECT_EQ(ReadFile(path), before);
    // No temporary file is left beside it.
    size_t files = 0;
    for ([[maybe_unused]] const auto& entry : fs::directory_iterator(folder.Path())) ++files;
    EXPECT_EQ(files, 1u);
}

// Bad input gives messages in the restored files' logs, never a crash.
TEST(ContainerBadInput, WrongNumbersAndMissingReferencesAreReported) {
    Folder folder;
    WriteText(
        folder.File("bad.xml"),
        "<KOVR><Quillmere><NetConfig>"
        "<DBC><Network_name>Bad</Network_name><Nodes><Node><Name>A</Name></Node></Nodes>"
        "<Messages><Message><Can_ID>twelve</Can_ID><Name>M</Name><Size>300</Size>"
        "<Transmitter>Ghost</Transmitter><Signals><Signal><Name>S</Name>"
        "<Start_bit>-1</Start_bit><Size>8</Size><Factor>abc</Factor>"
        "<Receivers><Receiver>Nobody</Receiver></Receivers></Signal></Signals>"
        "<Signal_groups><Signal_group><Name>G</Name><Signals><Signal>T</Signal></Signals>"
        "</Signal_group></Signal_groups></Message></Messages>"
        "<Attributes><Attribute><Name>Undefined</Name><Value>1</Value></Attribute></Attributes>"
        "</DBC>"
        "<LDF><Nodes><Slaves><Slave><Name>S1</Name><Attributes><Response_error>E</Response_error>"
        "</Attributes></Slave></Slaves></Nodes>"
        "<Signals><Signal><Name>X</Name><Size>many</Size><Publisher>Nobody</Publisher>"
        "<Subscribers><Subscriber>Ghost</Subscriber></Subscribers></Signal></Signals>"
        "<Frames><Frame><Name>F</Name><ID>1</ID><Signals><Signal name=\"Y\" offset=\"0\"/>"
        "</Signals></Frame></Frames>"
        "<Schedule-tables><Schedule-table><Name>T</Name><Tasks><Task><Command>Nope</Command>"
        "<Delay>10ms</Delay></Task><Task><AssignNAD><Node>S9</Node></AssignNAD></Task>"
        "</Tasks></Schedule-table></Schedule-tables>"
        "<Signal-representation><Other/><Signal-representation/>"
        "<Signal-representation><Signal-encoding-type>None</Signal-encoding-type>"
        "</Signal-representation></Signal-representation></LDF>"
        "</NetConfig></Quillmere></KOVR>");
    Facade facade;
    ASSERT_TRUE(facade.facade.LoadFromFile(folder.File("bad.xml").c_str()));
    ASSERT_EQ(facade.config->GetDataBaseCount(), 2u);

    auto* dbc = dynamic_cast<NetConfigDbcFile*>(facade.config->GetDbcFile());
    const std::string dbcLog = dbc->GetMessages();
    for (const char* line :
         {"Container value is not a number: Can_ID = twelve.\n",
          "Container value is not a number: Size = 300.\n",
          "Container value is not a number: Factor = abc.\n", "Missing node definition: Ghost.\n",
          "Missing node definition: Nobody.\n", "Missing signal definition: T.\n",
          "Missing attribute definition: Undefined.\n"}) {
        EXPECT_THAT(dbcLog, HasSubstr(line));
    }
    EXPECT_EQ(dbc->GetStatus(), 2u);
    ASSERT_EQ(dbc->GetMessageCount(), 1u);
    EXPECT_EQ(dbc->GetMessage(0)->GetRawId(), 0u);
    EXPECT_DOUBLE_EQ(dbc->GetMessage(0)->GetSignal(0)->GetFactor(), 1.0);

    auto* ldf = dynamic_cast<NetConfigLdfFile*>(facade.config->GetLdfFile());
    const std::string ldfLog = ldf->GetMessages();
    for (const char* line :
         {"Container value is not a number: Size = many.\r\n",
          "Missing subscriber node definition: Ghost.\r\n", "Missing signal definition: Y.\r\n",
          "Missing frame definition: Nope.\r\n", "Missing slave node definition: S9.\r\n",
          "Signal representation element is different that "
          "Signal-representation.\r\n",
          "Missing signal encoding type element.\r\n",
          "Missing signal encoding type definition: None.\r\n",
          "Missing response error definition: E.\r\n"}) {
        EXPECT_THAT(ldfLog, HasSubstr(line)) << line;
    }
    ASSERT_EQ(ldf->GetScheduleTableCount(), 1u);
    EXPECT_EQ(ldf->GetScheduleTable(0)->GetTaskCount(), 0u) << "tasks naming nothing are dropped";
    EXPECT_EQ(ldf->GetRepresentationCount(), 0u);
    EXPECT_EQ(ldf->GetStandardSignal(0)->GetPublisher(), nullptr);
}
