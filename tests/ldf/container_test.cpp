// The "LDF" container element: its layout, the fill, and the messages of bad representations.
#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "ldf/ldf_container.h"
#include "ldf_model_compare.h"
#include "ldf_test_support.h"
#include "quillmere/xml.h"

namespace qm::ldf::test {
namespace {

const char* kText = R"(LIN_description_file;
LIN_protocol_version = "2.1";
LIN_language_version = "2.1";
LIN_speed = 19.2 kbps;
Nodes {
  Master: CEM, 5 ms, 0.1 ms;
  Slaves: LSM, RSM;
}
Signals {
  Light: 8, 0, CEM, LSM, RSM;
  Bytes: 16, {1, 2}, LSM, CEM;
  Error: 1, 0, LSM, CEM;
}
Diagnostic_signals {
  MasterReqB0: 8, 0;
  MasterReqB1: 8, 0;
}
Frames {
  CemFrm: 0x01, CEM, 1 {
    Light, 0;
  }
  LsmFrm: 0x02, LSM, 3 {
    Bytes, 0;
    Error, 16;
  }
}
Sporadic_frames {
  Spor: CemFrm;
}
Event_triggered_frames {
  Evt: Collide, 0x10, LsmFrm;
}
Diagnostic_frames {
  MasterReq: 0x3c {
    MasterReqB0, 0;
    MasterReqB1, 8;
  }
}
Node_attributes {
  LSM {
    LIN_protocol = "2.1";
    configured_NAD = 0x20;
    product_id = 0x1234, 0x5678, 1;
    response_error = Error;
    P2_min = 50 ms;
    configurable_frames {
      LsmFrm = 0x1001;
      CemFrm;
    }
  }
}
Schedule_tables {
  Normal {
    CemFrm delay 10 ms;
    DataDump { LSM, 1, 2, 3, 4, 5 } delay 20 ms;
    FreeFormat { 1, 2, 3, 4, 5, 6, 7, 8 } delay 20 ms;
    AssignFrameIdRange { LSM, 1, 2, 3, 4, 5 } delay 20 ms;
    AssignNAD { LSM } delay 20 ms;
    AssignFrameId { LSM, LsmFrm } delay 20 ms;
  }
  Collide {
    LsmFrm delay 10 ms;
    AssignFrameIdRange { LSM, 0 } delay 20 ms;
  }
}
Signal_groups {
  Grp: 16 {
    Bytes, 0;
  }
}
Signal_encoding_types {
  LightEnc {
    logical_value, 0, "off";
    physical_value, 1, 254, 0.5, 1, "lux";
    bcd_value;
  }
}
Signal_representation {
  LightEnc: Light;
}
)";

std::vector<std::string> ChildNames(const NanoXML* element) {
    std::vector<std::string> names;
    for (const NanoXML* child : element->children) names.push_back(child->name);
    return names;
}

struct Loaded {
    Loaded() { EXPECT_TRUE(LoadText(file, kText, "container.ldf")); }
    NetConfigLdfFile file;
};

}  // namespace

TEST(LdfContainer, SectionsFollowTheFixedLayout) {
    Loaded source;
    std::unique_ptr<NanoXML> ldf(BuildLdfContainer(source.file.Model()));
    EXPECT_EQ(
        ChildNames(ldf.get()),
        (std::vector<std::string>{
            "Lin_description_file", "Lin_protocol_version", "Lin_language_version", "Lin_speed",
            "Network_name", "Nodes", "Signals", "Diagnostic-signals", "Frames", "Sporadic-frames",
            "Event-triggered-frames", "Diagnostic-frames", "Schedule-tables", "Signal-groups",
            "Signal-encoding-types", "Signal-representation"}));
    EXPECT_EQ(ldf->GetChild(std::string("Lin_speed"))->text, "19.200000");
    NanoXML* frame = ldf->FindByPath({"Frames", "Frame"});
    EXPECT_EQ(ChildNames(frame),
              (std::vector<std::string>{"Name", "ID", "Publisher", "Size", "Signals", "Dynamic"}));
    NanoXML* placed = ldf->FindByPath({"Frames"})->children[1]->FindByPath({"Signals"});
    ASSERT_EQ(placed->children.size(), 2u);
    // Values are element texts, never attributes.
    EXPECT_TRUE(placed->children[1]->attributes.empty());
    EXPECT_EQ(ChildNames(placed->children[1]), (std::vector<std::string>{"Name", "Offset"}));
    EXPECT_EQ(placed->children[1]->GetChild(std::string("Name"))->text, "Error");
    EXPECT_EQ(placed->children[1]->GetChild(std::string("Offset"))->text, "16");
    // Diagnostic signals follow each other in their frame.
    NanoXML* diagnostic =
        ldf->FindByPath({"Diagnostic-frames", "Diagnostic-frame", "Diagnostic-signals"});
    EXPECT_EQ(diagnostic->children[1]->GetChild(std::string("Offset"))->text, "8");
    NanoXML* attributes = ldf->FindByPath({"Nodes", "Slaves", "Slave", "Attributes"});
    EXPECT_EQ(attributes->GetChild(std::string("P2_min"))->text, "50.000000 ms");
    NanoXML* tasks = ldf->FindByPath({"Schedule-tables", "Schedule-table", "Tasks"});
    ASSERT_EQ(tasks->children.size(), 6u);
    EXPECT_EQ(ChildNames(tasks->children[0]), (std::vector<std::string>{"Command", "Delay"}));
    EXPECT_EQ(tasks->children[0]->GetChild(std::string("Delay"))->text, "10ms");
    EXPECT_EQ(ChildNames(tasks->children[1]->children[0]),
              (std::vector<std::string>{"Node", "Byte", "Byte", "Byte", "Byte", "Byte"}));
    EXPECT_EQ(tasks->children[2]->children[0]->children.size(), 8u);
    // A range without PIDs has its list, empty.
    NanoXML* shortRange = ldf->FindByPath({"Schedule-tables"})
                              ->children[1]
                              ->FindByPath({"Tasks"})
                              ->children[1]
                              ->children[0];
    EXPECT_EQ(ChildNames(shortRange),
              (std::vector<std::string>{"Node", "Frame_index", "Frame_PIDS"}));
    EXPECT_TRUE(shortRange->children[2]->children.empty());
}

TEST(LdfContainer, OptionalSectionsAreLeftOutWhenEmpty) {
    NetConfigLdfFile file;
    ASSERT_TRUE(LoadText(file,
                         "LIN_description_file;\nLIN_protocol_version = \"2.1\";\n"
                         "LIN_language_version = \"2.1\";\nLIN_speed = 19.2 kbps;\n"
                         "Nodes { Master: M, 5 ms, 0 ms; Slaves: S; }\n"
                         "Signals { A: 1, 0, M, S; }\nFrames { F: 1, M, 1 { A, 0; } }\n",
                         "plain.ldf"));
    std::unique_ptr<NanoXML> ldf(BuildLdfContainer(file.Model()));
    for (const char* absent : {"Channel_name", "Composite", "Sporadic-frames",
                               "Event-triggered-frames", "Signal-groups"}) {
        EXPECT_EQ(ldf->GetChild(std::string(absent)), nullptr) << absent;
    }
    EXPECT_NE(ldf->GetChild(std::string("Diagnostic-frames")), nullptr);
}

// Every section, the sporadic frames included, comes back with the same names, ids, sizes and
// references.
TEST(LdfContainer, FillRebuildsTheModel) {
    Loaded source;
    std::unique_ptr<NanoXML> ldf(BuildLdfContainer(source.file.Model()));
    const std::string text = ldf->Serialize(0, false);
    NanoXML reread;
    reread.Parse(text.c_str(), false, text.size(), 0, 0);
    NetConfigLdfFile restored;
    EXPECT_EQ(FillLdfFromContainer(restored, &reread), 1);
    ExpectSameLdfModel(source.file.Model(), restored.Model());
    EXPECT_STREQ(restored.GetMessages(), "");
    // The collision table is the restored table, not a placeholder of its name.
    const LdfModel& model = restored.Model();
    EXPECT_EQ(model.eventTriggeredFrames[0]->collisionTable, model.scheduleTables[1].get());
    EXPECT_EQ(restored.GetResultCode(), 0);
}

TEST(LdfContainer, AnotherElementIsNotRead) {
    Loaded target;
    NanoXML other("DBC", "", 0);
    EXPECT_EQ(FillLdfFromContainer(target.file, &other), 1);
    EXPECT_EQ(FillLdfFromContainer(target.file, nullptr), 1);
    EXPECT_EQ(target.file.Model().standardSignals.size(), 3u);
}

TEST(LdfContainer, BadRepresentationsAreReportedAndSkipped) {
    NanoXML ldf("LDF", "", 0);
    NanoXML* signals = ldf.AddChild("Signals", "", 0);
    signals->AddChild("Signal", "", 0)->AddChild("Name", "Known", 0);
    ldf.AddChild("Signal-encoding-types", "", 0)
        ->AddChild("Signal-encoding-type", "", 0)
        ->AddChild("Name", "Enc", 0);
    NanoXML* representations = ldf.AddChild("Signal-representation", "", 0);
    representations->AddChild("Wrong", "", 0);
    representations->AddChild("Signal-representation", "", 0);
    NanoXML* unknownType = representations->AddChild("Signal-representation", "", 0);
    unknownType->AddChild("Signal-encoding-type", "Nope", 0);
    NanoXML* unknownSignal = representations->AddChild("Signal-representation", "", 0);
    unknownSignal->AddChild("Signal-encoding-type", "Enc", 0);
    NanoXML* list = unknownSignal->AddChild("Signals", "", 0);
    list->AddChild("Name", "Known", 0);
    list->AddChild("Name", "Ghost", 0);
    NetConfigLdfFile file;
    EXPECT_EQ(FillLdfFromContainer(file, &ldf), 1);
    EXPECT_STREQ(file.GetMessages(),
                 "Signal representation element is different that Signal-representation.\r\n"
                 "Missing signal encoding type element.\r\n"
                 "Missing signal encoding type definition: Nope.\r\n"
                 "Missing signal definition: Ghost.\r\n");
    EXPECT_TRUE(file.Model().representations.empty());
    EXPECT_EQ(file.Model().standardSignals[0]->encodingType, nullptr);
}

}  // namespace qm::ldf::test
