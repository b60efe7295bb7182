// The AUTOSAR generation decides which element names the reader looks for.
#include <gtest/gtest.h>

#include <string>

#include "arxml_com/arxml_reader.h"
#include "arxml_test_support.h"

namespace {

using qm::arxml::AutosarVersion;
using qm::arxml::ParseAutosarVersion;

TEST(AutosarVersion, ReadsSeparatedAndReleaseNumberForms) {
    EXPECT_EQ(ParseAutosarVersion("4.2.2"), (AutosarVersion{4, 2, 2}));
    EXPECT_EQ(ParseAutosarVersion("3-1-5"), (AutosarVersion{3, 1, 5}));
    EXPECT_EQ(ParseAutosarVersion("46"), (AutosarVersion{4, 6, 0}));
    EXPECT_EQ(ParseAutosarVersion(""), (AutosarVersion{0, 0, 0}));
    EXPECT_EQ(ParseAutosarVersion("4.300.1"), (AutosarVersion{4, 255, 1}));
}

// A PDU with both generations' timing elements: the generation picks one of them.
std::string TimedPdu(const std::string& package = "PDU") {
    return arxml_test::Package(
        package,
        "<I-SIGNAL-I-PDU><SHORT-NAME>P</SHORT-NAME><LENGTH>8</LENGTH>"
        "<I-PDU-TIMING-SPECIFICATIONS><I-PDU-TIMING><TRANSMISSION-MODE-DECLARATION>"
        "<TRANSMISSION-MODE-TRUE-TIMING><CYCLIC-TIMING><TIME-PERIOD><VALUE>0.02</VALUE>"
        "</TIME-PERIOD></CYCLIC-TIMING></TRANSMISSION-MODE-TRUE-TIMING>"
        "</TRANSMISSION-MODE-DECLARATION></I-PDU-TIMING></I-PDU-TIMING-SPECIFICATIONS>"
        "<I-PDU-TIMING-SPECIFICATION><CYCLIC-TIMING><REPEATING-TIME><VALUE>0.5</VALUE>"
        "</REPEATING-TIME></CYCLIC-TIMING></I-PDU-TIMING-SPECIFICATION>"
        "</I-SIGNAL-I-PDU>");
}

TEST(AutosarVersion, OnlyTheSchemaLocationNamesTheGeneration) {
    // Without a schema location the version stays 0.0.0, whatever the namespace says, and the
    // document is read in its AUTOSAR 3 form: the PDUs of "PDUS" with AUTOSAR 3 timing.
    const auto expect = [](const std::string& root, const std::string& list, AutosarVersion version,
                           double period) {
        auto file = arxml_test::LoadText(root + "<" + list + ">" + TimedPdu("PDU") +
                                         TimedPdu("PDUS") + "</" + list + "></AUTOSAR>");
        EXPECT_EQ(file->AutosarVersion(), version) << root;
        ASSERT_EQ(file->GetPduCount(), 1u) << root;
        EXPECT_DOUBLE_EQ(file->GetPdu(0)->GetCyclicTimePeriod(), period) << root;
    };
    expect("<AUTOSAR xmlns=\"http://autosar.org/schema/r4.0\">", "AR-PACKAGES", {0, 0, 0}, 0.5);
    expect(
        "<AUTOSAR xmlns=\"http://autosar.org/schema/r4.0\" xsi:schemaLocation=\""
        "http://autosar.org/schema/r4.0 AUTOSAR_00046.xsd\">",
        "AR-PACKAGES", {4, 6, 0}, 0.02);
    // "3.2.3" of the namespace part of the schema location is the first version it names.
    expect(
        "<AUTOSAR xmlns=\"http://autosar.org/3.2.3\" "
        "xsi:schemaLocation=\"http://autosar.org/3.2.3 AUTOSAR_323.xsd\">",
        "TOP-LEVEL-PACKAGES", {3, 2, 3}, 0.5);
}

TEST(AutosarVersion, AutosarElementBelowAnotherRootIsFound) {
    auto file = arxml_test::LoadText(
        "<WRAPPER><AUTOSAR xsi:schemaLocation=\"x AUTOSAR_4-0-3.xsd\"><AR-PACKAGES>" + TimedPdu() +
        "</AR-PACKAGES></AUTOSAR></WRAPPER>");
    EXPECT_EQ(file->AutosarVersion(), (AutosarVersion{4, 0, 3}));
    EXPECT_EQ(file->GetPduCount(), 1u);
}

}  // namespace
