// Whole-document reading of documents written here, hostile ones included.
#include <gtest/gtest.h>

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "arxml_com/netconfig_arxml_file.h"
#include "arxml_test_support.h"
#include "autosar_prefix.h"
#include "codec_models/model_codecs.h"
#include "expect_fields.h"

namespace {

using arxml_test::Autosar4;
using arxml_test::Frame;
using arxml_test::FrameTriggering;
using arxml_test::Package;
using arxml_test::PduTriggering;

std::unique_ptr<NetConfigArxmlFile> LoadWhole(const std::string& text) {
    arxml_test::TempFile temp(text);
    auto file = std::make_unique<NetConfigArxmlFile>();
    file->SetReadingMode(kArxmlReadWholeDocument);
    EXPECT_TRUE(file->Load(temp.Path().c_str()));
    NanoXML::ClearMessageLog();
    return file;
}

// An I-signal of the system signal /S/Sys (which Signals() defines).
std::string ISignal(const std::string& name, int length) {
    return "<I-SIGNAL><SHORT-NAME>" + name + "</SHORT-NAME><LENGTH>" + std::to_string(length) +
           "</LENGTH><SYSTEM-SIGNAL-REF "
           "DEST=\"SYSTEM-SIGNAL\">/S/Sys</SYSTEM-SIGNAL-REF></I-SIGNAL>";
}

constexpr const char* kSystemSignal = "<SYSTEM-SIGNAL><SHORT-NAME>Sys</SHORT-NAME></SYSTEM-SIGNAL>";

// The package "S" with the system signal and the given I-signals.
std::string Signals(const std::string& iSignals) {
    return Package("S", kSystemSignal + iSignals);
}

std::string Mapping(const std::string& signalPath, int start) {
    return "<I-SIGNAL-TO-I-PDU-MAPPING><SHORT-NAME>m</SHORT-NAME>"
           "<I-SIGNAL-REF DEST=\"I-SIGNAL\">" +
           signalPath +
           "</I-SIGNAL-REF><PACKING-BYTE-ORDER>MOST-SIGNIFICANT-BYTE-LAST</PACKING-BYTE-ORDER>"
           "<START-POSITION>" +
           std::to_string(start) + "</START-POSITION></I-SIGNAL-TO-I-PDU-MAPPING>";
}

// An I-signal PDU with the given mappings; props are its CONTAINED-I-PDU-PROPS children.
std::string SignalPdu(const std::string& name, int length, const std::string& mappings,
                      const std::string& props = "") {
    return "<I-SIGNAL-I-PDU><SHORT-NAME>" + name + "</SHORT-NAME><LENGTH>" +
           std::to_string(length) + "</LENGTH>" +
           (props.empty() ? "" : "<CONTAINED-I-PDU-PROPS>" + props + "</CONTAINED-I-PDU-PROPS>") +
           "<I-SIGNAL-TO-PDU-MAPPINGS>" + mappings + "</I-SIGNAL-TO-PDU-MAPPINGS></I-SIGNAL-I-PDU>";
}

std::string Container(const std::string& name, const std::string& header,
                      const std::string& partPaths) {
    std::string refs;
    size_t begin = 0;
    while (begin < partPaths.size()) {
        size_t end = partPaths.find(' ', begin);
        if (end == std::string::npos) end = partPaths.size();
        refs += "<CONTAINED-PDU-TRIGGERING-REF DEST=\"I-SIGNAL-I-PDU\">" +
                partPaths.substr(begin, end - begin) + "</CONTAINED-PDU-TRIGGERING-REF>";
        begin = end + 1;
    }
    return "<CONTAINER-I-PDU><SHORT-NAME>" + name +
           "</SHORT-NAME><LENGTH>64</LENGTH><CONTAINED-PDU-TRIGGERING-REFS>" + refs +
           "</CONTAINED-PDU-TRIGGERING-REFS><HEADER-TYPE>" + header +
           "</HEADER-TYPE></CONTAINER-I-PDU>";
}

// A CAN cluster with frame and PDU triggerings.
std::string CanCluster(const std::string& name, const std::string& frameTriggerings,
                       const std::string& pduTriggerings) {
    return arxml_test::CanCluster(name, "<FRAME-TRIGGERINGS>" + frameTriggerings +
                                            "</FRAME-TRIGGERINGS><PDU-TRIGGERINGS>" +
                                            pduTriggerings + "</PDU-TRIGGERINGS>");
}

// Packages nested inside one another, the innermost holding elements.
std::string Nested(const std::vector<std::string>& names, const std::string& elements) {
    std::string text = elements.empty() ? "" : "<ELEMENTS>" + elements + "</ELEMENTS>";
    for (auto it = names.rbegin(); it != names.rend(); ++it) {
        const bool inner = it == names.rbegin();
        text = "<AR-PACKAGE><SHORT-NAME>" + *it + "</SHORT-NAME>" +
               (inner ? text : "<AR-PACKAGES>" + text + "</AR-PACKAGES>") + "</AR-PACKAGE>";
    }
    return text;
}

// A small system in nested vendor packages, none named as the exact reader expects.
std::string VendorSystem() {
    return Autosar4(
        Nested({"Vendor", "Signals"}, kSystemSignal + ISignal("Speed", 16) + ISignal("Gear", 4)) +
        Nested(
            {"Vendor", "Communication", "IPdus"},
            SignalPdu("Motion", 4,
                      Mapping("/Vendor/Signals/Speed", 0) + Mapping("/Vendor/Signals/Gear", 16))) +
        Nested({"Vendor", "Communication", "Frames"},
               Frame("MotionFrame", "/Vendor/Communication/IPdus/Motion")) +
        Nested({"Vendor", "Topology"},
               CanCluster("Body",
                          FrameTriggering("MotionTriggering",
                                          "/Vendor/Communication/Frames/MotionFrame", 0x123),
                          PduTriggering("MotionPdu", "/Vendor/Communication/IPdus/Motion"))));
}

TEST(ArxmlWholeDocument, TheModeIsAnExtensionOfTheFileAndDefaultsToExact) {
    NetConfigArxmlFile concrete;
    INetConfigArxmlFile* file = &concrete;
    auto* options = dynamic_cast<INetConfigArxmlFileOptions*>(file);
    ASSERT_NE(options, nullptr);
    QM_EXPECT_FIELDS(*options, (GetReadingMode(), kArxmlReadExact), (SetReadingMode(7), false),
                     (GetReadingMode(), kArxmlReadExact),
                     (SetReadingMode(kArxmlReadWholeDocument), true));
    file->Clear();  // a setting, not content
    EXPECT_EQ(options->GetReadingMode(), kArxmlReadWholeDocument);
}

TEST(ArxmlWholeDocument, PackagesOfAnyNameAndDepthAreRead) {
    arxml_test::TempFile temp(VendorSystem());
    NetConfigArxmlFile exact;
    ASSERT_TRUE(exact.Load(temp.Path().c_str()));
    QM_EXPECT_FIELDS(exact, (GetPduCount(), 0u), (GetClusterCount(), 0u));

    auto file = LoadWhole(VendorSystem());
    EXPECT_STREQ(file->GetMessages(), "");
    ASSERT_EQ(file->GetPduCount(), 1u);
    IArxmlPdu* motion = file->GetPdu(0);
    QM_EXPECT_FIELDS(*motion, (GetName(), "Motion"), (GetIdentifier(), 0x123));
    EXPECT_EQ(motion->GetLength(), 8u);  // the frame's length
    ASSERT_EQ(motion->GetSignalCount(), 2u);
    EXPECT_EQ(motion->FindSignal("Gear")->GetStartPosition(), 16u);
    EXPECT_EQ(motion->FindSignal("Speed")->GetBitLength(), 16u);
    ASSERT_EQ(file->GetClusterCount(), 1u);
    QM_EXPECT_FIELDS(*file->GetCluster(0), (GetBaudrate(), 500000u), (FindPdu("Motion"), motion));
    EXPECT_EQ(file->GetFrameCount(), 1u);
}

// Some tools bind the AUTOSAR namespace to a prefix ("<ar:AUTOSAR xmlns:ar=...>"): the whole
// document reads as without it; the exact reader finds no AUTOSAR element.
TEST(ArxmlWholeDocument, ElementsWithANamespacePrefixReadAsWithout) {
    const std::string plain = VendorSystem();
    const std::string prefixed = qmtest::WithAutosarPrefix(plain);
    ASSERT_NE(prefixed.find("</ar:AUTOSAR>"), std::string::npos);
    auto expected = LoadWhole(plain);
    auto file = LoadWhole(prefixed);
    EXPECT_STREQ(file->GetMessages(), "");
    ASSERT_EQ(file->GetPduCount(), 1u);
    IArxmlPdu* motion = file->GetPdu(0);
    QM_EXPECT_FIELDS(*motion, (GetName(), "Motion"), (GetIdentifier(), 0x123),
                     (GetSignalCount(), 2u));
    EXPECT_EQ(motion->FindSignal("Gear")->GetStartPosition(), 16u);
    ASSERT_EQ(file->GetClusterCount(), 1u);
    EXPECT_EQ(file->GetCluster(0)->FindPdu("Motion"), motion);
    EXPECT_EQ(qm::codec::BuildArxmlCatalog(*file).Count(),
              qm::codec::BuildArxmlCatalog(*expected).Count());

    arxml_test::TempFile temp(prefixed);
    NetConfigArxmlFile exact;
    exact.Load(temp.Path().c_str());
    EXPECT_EQ(exact.GetPduCount(), 0u);
    NanoXML::ClearMessageLog();
}

// Every PDU kind of a package is a PDU, kinds of newer schemas included.
TEST(ArxmlWholeDocument, EveryPduKindIsAPdu) {
    const std::string nm =
        "<NM-PDU><SHORT-NAME>Nm</SHORT-NAME><LENGTH>8</LENGTH><I-SIGNAL-TO-I-PDU-MAPPINGS>" +
        Mapping("/S/Speed", 8) + "</I-SIGNAL-TO-I-PDU-MAPPINGS></NM-PDU>";
    const std::vector<std::string> kinds = {"N-PDU", "DCM-I-PDU", "GENERAL-PURPOSE-I-PDU",
                                            "XCP-PDU", "GENERAL-PURPOSE-PDU", "USER-DEFINED-PDU",
                                            "USER-DEFINED-I-PDU", "J-1939-DCM-I-PDU",
                                            // a kind of a newer schema
                                            "FUTURE-KIND-PDU"};
    std::string others;
    for (size_t i = 0; i < kinds.size(); ++i) {
        others += "<" + kinds[i] + "><SHORT-NAME>P" + std::to_string(i) + "</SHORT-NAME><LENGTH>" +
                  std::to_string(i + 1) + "</LENGTH></" + kinds[i] + ">";
    }
    auto file = LoadWhole(Autosar4(
        Signals(ISignal("Speed", 16)) +
        Package("Other",
                nm + others +
                    "<FLEXRAY-CLUSTER><SHORT-NAME>Fr</SHORT-NAME></FLEXRAY-CLUSTER>"
                    "<I-SIGNAL-I-PDU-GROUP><SHORT-NAME>G</SHORT-NAME></I-SIGNAL-I-PDU-GROUP>"
                    "<PDU-ACTIVATION-ROUTING-GROUP><SHORT-NAME>R</SHORT-NAME>"
                    "</PDU-ACTIVATION-ROUTING-GROUP>")));
    ASSERT_EQ(file->GetPduCount(), 1 + kinds.size());
    EXPECT_STREQ(file->GetPdu(0)->GetName(), "Nm");
    ASSERT_EQ(file->GetPdu(0)->GetSignalCount(), 1u);
    EXPECT_EQ(file->GetPdu(0)->GetSignal(0)->GetStartPosition(), 8u);
    for (size_t i = 0; i < kinds.size(); ++i) {
        SCOPED_TRACE(kinds[i]);
        IArxmlPdu* pdu = file->GetPdu(i + 1);
        EXPECT_EQ(pdu->GetName(), "P" + std::to_string(i));
        QM_EXPECT_FIELDS(*pdu, (GetLength(), i + 1), (GetSignalCount(), 0u));
    }
    EXPECT_EQ(file->GetClusterCount(), 0u);
    // One line per element the model cannot hold; PDU groups are no communication elements.
    EXPECT_STREQ(file->GetMessages(), "FLEXRAY-CLUSTER not read: Fr.\r\n");
}

// Binary numbers ("0b101"), and an I-signal without system signal coded by its representation.
TEST(ArxmlWholeDocument, BinaryNumbersAndSignalsWithoutSystemSignal) {
    const std::string floatSignal =
        "<I-SIGNAL><SHORT-NAME>Ratio</SHORT-NAME><LENGTH>32</LENGTH>"
        "<NETWORK-REPRESENTATION-PROPS><SW-DATA-DEF-PROPS-VARIANTS>"
        "<SW-DATA-DEF-PROPS-CONDITIONAL><BASE-TYPE-REF DEST=\"SW-BASE-TYPE\">/S/Float"
        "</BASE-TYPE-REF></SW-DATA-DEF-PROPS-CONDITIONAL></SW-DATA-DEF-PROPS-VARIANTS>"
        "</NETWORK-REPRESENTATION-PROPS></I-SIGNAL>"
        "<SW-BASE-TYPE><SHORT-NAME>Float</SHORT-NAME><BASE-TYPE-SIZE>32</BASE-TYPE-SIZE>"
        "<BASE-TYPE-ENCODING>IEEE754</BASE-TYPE-ENCODING></SW-BASE-TYPE>";
    std::string binary = ISignal("Mode", 0);
    binary.replace(binary.find("<LENGTH>0<"), 10, "<LENGTH>0b101<");
    std::string mappings = Mapping("/S/Mode", 0) + Mapping("/S/Ratio", 8);
    mappings.replace(mappings.find("<START-POSITION>8<"), 18, "<START-POSITION>0b1000<");
    auto file = LoadWhole(
        Autosar4(Signals(binary + floatSignal) + Package("P", SignalPdu("Pdu", 8, mappings))));
    ASSERT_EQ(file->GetPduCount(), 1u);
    IArxmlPdu* pdu = file->GetPdu(0);
    ASSERT_EQ(pdu->GetSignalCount(), 2u);
    EXPECT_EQ(pdu->GetSignal(0)->GetBitLength(), 5u);
    EXPECT_EQ(pdu->GetSignal(1)->GetStartPosition(), 8u);
    auto* encoding = dynamic_cast<IArxmlSignalEncoding*>(pdu->GetSignal(1));
    ASSERT_NE(encoding, nullptr);
    QM_EXPECT_FIELDS(*encoding, (GetBaseTypeEncoding(), "IEEE754"), (GetBaseTypeSize(), 32u));
}

// Read as a whole document, a PDU's codec takes its frame's name where no PDU has that name and
// no earlier PDU took it; the other name finds it too. Read exactly, codecs keep the PDU names.
TEST(ArxmlWholeDocument, PdusAreNamedAfterTheirFrames) {
    auto file = LoadWhole(Autosar4(
        Package("P", SignalPdu("A", 1, "") + SignalPdu("B", 1, "") + SignalPdu("D", 1, "") +
                         SignalPdu("X", 1, "")) +
        Package("F", Frame("B", "/P/A", 1) + Frame("C", "/P/B", 1) + Frame("E", "/P/D", 1)) +
        Package("G", Frame("E", "/P/X", 1)) +
        Package("K",
                CanCluster("Can",
                           FrameTriggering("TB", "/F/B", 1) + FrameTriggering("TC", "/F/C", 2) +
                               FrameTriggering("TE", "/F/E", 3) + FrameTriggering("TX", "/G/E", 4),
                           PduTriggering("PA", "/P/A") + PduTriggering("PB", "/P/B") +
                               PduTriggering("PD", "/P/D") + PduTriggering("PX", "/P/X")))));
    ASSERT_EQ(file->GetPduCount(), 4u);
    auto* carriedA = dynamic_cast<IArxmlPduFrame*>(file->FindPdu("A"));
    ASSERT_NE(carriedA, nullptr);
    EXPECT_STREQ(carriedA->GetFrameName(), "B");
    const qm::codec::FrameCatalog catalog = qm::codec::BuildArxmlCatalog(*file);
    ASSERT_EQ(catalog.Count(), 4u);
    std::vector<std::string> names;
    for (size_t i = 0; i < catalog.Count(); ++i) names.push_back(catalog.At(i).name);
    EXPECT_EQ(names, (std::vector<std::string>{"A", "C", "E", "X"}));
    ASSERT_NE(catalog.ByName("B"), nullptr);
    EXPECT_EQ(catalog.ByName("B")->id, 2u);  // the PDU's own name wins over frame B
    EXPECT_EQ(catalog.ByName("D"), catalog.ByName("E"));
    EXPECT_EQ(catalog.ByName("A")->id, 1u);

    dynamic_cast<INetConfigArxmlFileOptions&>(*file).SetReadingMode(kArxmlReadExact);
    const qm::codec::FrameCatalog exact = qm::codec::BuildArxmlCatalog(*file);
    EXPECT_EQ(exact.At(1).name, "B");
    EXPECT_EQ(exact.ByName("C"), exact.ByName("B"));
}

// Character references of descriptions are decoded; exact reading keeps them as written.
TEST(ArxmlWholeDocument, CharacterReferencesOfDescriptionsAreDecoded) {
    const std::string system =
        "<SYSTEM-SIGNAL><SHORT-NAME>Sys</SHORT-NAME><DESC><L-2 L=\"EN\">a-umlaut: &#228;, "
        "&#x3A9; &amp; &unknown;</L-2></DESC></SYSTEM-SIGNAL>";
    const std::string text = Autosar4(Package("S", system + ISignal("A", 8)) +
                                      Package("PDU", SignalPdu("Pdu", 1, Mapping("/S/A", 0))));
    auto whole = LoadWhole(text);
    ASSERT_EQ(whole->GetPduCount(), 1u);
    ASSERT_EQ(whole->GetPdu(0)->GetSignalCount(), 1u);
    EXPECT_STREQ(whole->GetPdu(0)->GetSignal(0)->GetDescription(),
                 "a-umlaut: \xC3\xA4, \xCE\xA9 & &unknown;");
    auto exact = LoadText(text);
    ASSERT_EQ(exact->GetPduCount(), 1u);
    ASSERT_EQ(exact->GetPdu(0)->GetSignalCount(), 1u);
    EXPECT_STREQ(exact->GetPdu(0)->GetSignal(0)->GetDescription(),
                 "a-umlaut: &#228;, &#x3A9; &amp; &unknown;");
}

// Initial values from numbers (hex, binary) or referenced constants; a text value gives none.
TEST(ArxmlWholeDocument, InitialValuesAreReadFromNumbersAndConstants) {
    const auto withInit = [](const std::string& name, const std::string& init) {
        std::string signal = ISignal(name, 8);
        signal.insert(signal.find("<LENGTH>"), "<INIT-VALUE>" + init + "</INIT-VALUE>");
        return signal;
    };
    const std::string constant =
        "<CONSTANT-SPECIFICATION><SHORT-NAME>Seven</SHORT-NAME><VALUE-SPEC>"
        "<NUMERICAL-VALUE-SPECIFICATION><VALUE>7</VALUE></NUMERICAL-VALUE-SPECIFICATION>"
        "</VALUE-SPEC></CONSTANT-SPECIFICATION>";
    const std::string document = Autosar4(
        Signals(withInit("Hex",
                         "<NUMERICAL-VALUE-SPECIFICATION><VALUE>0x1F</VALUE>"
                         "</NUMERICAL-VALUE-SPECIFICATION>") +
                withInit("Ref",
                         "<CONSTANT-REFERENCE><CONSTANT-REF DEST=\"CONSTANT-SPECIFICATION\">"
                         "/C/Seven</CONSTANT-REF></CONSTANT-REFERENCE>") +
                withInit("Text",
                         "<TEXT-VALUE-SPECIFICATION><VALUE>Off</VALUE>"
                         "</TEXT-VALUE-SPECIFICATION>") +
                withInit("Binary",
                         "<NUMERICAL-VALUE-SPECIFICATION><VALUE>0b101</VALUE>"
                         "</NUMERICAL-VALUE-SPECIFICATION>")) +
        Package("C", constant) +
        Package("P", SignalPdu("Pdu", 8,
                               Mapping("/S/Hex", 0) + Mapping("/S/Ref", 8) +
                                   Mapping("/S/Text", 16) + Mapping("/S/Binary", 24))));
    auto file = LoadWhole(document);
    IArxmlPdu* pdu = file->FindPdu("Pdu");
    ASSERT_NE(pdu, nullptr);
    const auto init = [&](const char* name) -> std::optional<double> {
        auto* encoding = dynamic_cast<IArxmlSignalEncoding*>(pdu->FindSignal(name));
        if (!encoding->HasInitValue()) return std::nullopt;
        return encoding->GetInitValue();
    };
    EXPECT_EQ(init("Hex"), 31.0);
    EXPECT_EQ(init("Ref"), 7.0);
    EXPECT_EQ(init("Text"), std::nullopt);
    EXPECT_EQ(init("Binary"), 5.0);
}

// Foreign, empty and cut documents are distinguished; the exact reader's results stay.
TEST(ArxmlWholeDocument, ForeignEmptyAndCutDocumentsAreToldApart) {
    struct Case {
        std::string text;
        bool wholeLoads;
        std::string wholeMessages;
        bool exactLoads;
    };
    const std::string document = Autosar4(Package("P", SignalPdu("A", 8, "")));
    const std::vector<Case> cases = {
        {"<?xml version=\"1.0\"?>\n<CANDELA><ECUDOC/></CANDELA>\n", false,
         "Not an ARXML file: the root element is <CANDELA>, not <AUTOSAR>.\r\n", true},
        {"\x89PNG\r\n\x1a\n binary \x01\x02 bytes", false,
         "Not an ARXML file: no XML element found.\r\n", true},
        {"", true, "WARNING. The file is empty: no ARXML element read.\r\n", false},
        // Cut inside the PDU's SHORT-NAME, on the third line.
        {document.substr(0, document.find("<SHORT-NAME>A") + 13), true,
         "WARNING. The document ends inside <SHORT-NAME> at line 2.\r\nMissing length of pdu: "
         "A.\r\n",
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.substr(0, 60));
        arxml_test::TempFile temp(c.text);
        NetConfigArxmlFile whole;
        whole.SetReadingMode(kArxmlReadWholeDocument);
        QM_EXPECT_FIELDS(whole, (Load(temp.Path().c_str()), c.wholeLoads),
                         (GetMessages(), c.wholeMessages));
        NetConfigArxmlFile exact;
        QM_EXPECT_FIELDS(exact, (Load(temp.Path().c_str()), c.exactLoads),
                         (IsLoaded(), c.exactLoads), (GetMessages(), ""));
        NanoXML::ClearMessageLog();
    }
}

TEST(ArxmlWholeDocument, FramesNoTriggeringReachesAreReported) {
    auto file = LoadWhole(
        Autosar4(Package("P", SignalPdu("A", 8, "")) +
                 Package("F", Frame("Used", "/P/A") + Frame("Spare", "/P/A")) +
                 Package("C", CanCluster("Can", FrameTriggering("T", "/F/Used", 5), ""))));
    EXPECT_EQ(file->GetFrameCount(), 1u);
    EXPECT_EQ(file->GetPdu(0)->GetIdentifier(), 5);
    EXPECT_STREQ(file->GetMessages(), "CAN-FRAME not read: Spare.\r\n");
}

TEST(ArxmlWholeDocument, ContainersLayTheirPdusBehindTheirHeaders) {
    const std::string parts = SignalPdu("First", 3, Mapping("/S/Speed", 4),
                                        "<HEADER-ID-SHORT-HEADER>0x10</HEADER-ID-SHORT-HEADER>"
                                        "<HEADER-ID-LONG-HEADER>0x10</HEADER-ID-LONG-HEADER>") +
                              SignalPdu("Second", 2, Mapping("/S/Gear", 0),
                                        "<HEADER-ID-SHORT-HEADER>0x11</HEADER-ID-SHORT-HEADER>"
                                        "<HEADER-ID-LONG-HEADER>0x11</HEADER-ID-LONG-HEADER>") +
                              SignalPdu("Placed", 2, Mapping("/S/Gear", 0), "<OFFSET>10</OFFSET>");
    auto file = LoadWhole(
        Autosar4(Signals(ISignal("Speed", 16) + ISignal("Gear", 4)) + Package("P", parts) +
                 Package("K", Container("Short", "SHORT-HEADER", "/P/First /P/Second") +
                                  Container("Long", "LONG-HEADER", "/P/First /P/Second") +
                                  Container("Bare", "NO-HEADER", "/P/First /P/Placed"))));
    EXPECT_STREQ(file->GetMessages(), "");
    // Short header: 4 bytes before each part; First at byte 4, Second at 4 + 3 + 4 = 11.
    IArxmlPdu* shortHeader = file->FindPdu("Short");
    ASSERT_EQ(shortHeader->GetSignalCount(), 2u);
    EXPECT_EQ(shortHeader->GetSignal(0)->GetStartPosition(), 4u * 8 + 4);
    QM_EXPECT_FIELDS(*shortHeader->GetSignal(1), (GetStartPosition(), 11u * 8),
                     (GetPdu(), shortHeader));
    // Long header: 8 bytes; Second at 8 + 3 + 8 = 19.
    EXPECT_EQ(file->FindPdu("Long")->GetSignal(1)->GetStartPosition(), 19u * 8);
    // No header: First at 0; Placed where its OFFSET says.
    IArxmlPdu* bare = file->FindPdu("Bare");
    EXPECT_EQ(bare->GetSignal(0)->GetStartPosition(), 4u);
    EXPECT_EQ(bare->GetSignal(1)->GetStartPosition(), 80u);
    // The contained PDUs keep their own signals where they were.
    EXPECT_EQ(file->FindPdu("Second")->GetSignal(0)->GetStartPosition(), 0u);
    // Containers with headers tell where each contained PDU and its signals lie; the system
    // says nothing of the header byte order, so it is most significant byte first.
    auto* contained = dynamic_cast<IArxmlContainerPdu*>(shortHeader);
    ASSERT_NE(contained, nullptr);
    QM_EXPECT_FIELDS(*contained, (GetHeaderSize(), 4u), (IsHeaderBigEndian(), true),
                     (GetContainedPduCount(), 2u));
    QM_EXPECT_FIELDS(*contained, (GetContainedPduName(1), std::string("Second")),
                     (GetContainedHeaderId(1), 0x11u), (GetContainedOffset(1), 11u),
                     (GetContainedLength(1), 2u), (GetContainedFirstSignal(1), 1u),
                     (GetContainedSignalCount(1), 1u));
    EXPECT_EQ(dynamic_cast<IArxmlContainerPdu*>(file->FindPdu("Long"))->GetContainedOffset(1), 19u);
    for (const char* name : {"Bare", "First"}) {
        auto* other = dynamic_cast<IArxmlContainerPdu*>(file->FindPdu(name));
        QM_EXPECT_FIELDS(*other, (GetHeaderSize(), 0u), (GetContainedPduCount(), 0u));
    }
}

TEST(ArxmlWholeDocument, HeaderIdentifiersOutOfRangeLeaveThePartOut) {
    const std::string parts =
        SignalPdu("Wide", 2, Mapping("/S/Gear", 0),
                  "<HEADER-ID-SHORT-HEADER>0x1000000</HEADER-ID-SHORT-HEADER>") +
        SignalPdu("Negative", 2, Mapping("/S/Gear", 0),
                  "<HEADER-ID-SHORT-HEADER>-1</HEADER-ID-SHORT-HEADER>") +
        SignalPdu("Huge", 2, Mapping("/S/Gear", 0),
                  "<HEADER-ID-LONG-HEADER>99999999999999999999999</HEADER-ID-LONG-HEADER>") +
        SignalPdu("Fits", 2, Mapping("/S/Gear", 0),
                  "<HEADER-ID-SHORT-HEADER>0xFFFFFF</HEADER-ID-SHORT-HEADER>"
                  "<HEADER-ID-LONG-HEADER>0xFFFFFFFF</HEADER-ID-LONG-HEADER>");
    auto file = LoadWhole(
        Autosar4(Signals(ISignal("Gear", 4)) + Package("P", parts) +
                 Package("K", Container("Short", "SHORT-HEADER", "/P/Wide /P/Negative /P/Fits") +
                                  Container("Long", "LONG-HEADER", "/P/Huge /P/Fits"))));
    EXPECT_STREQ(file->GetMessages(),
                 "Pdu part not read: Wide of pdu: Short (header id 0x1000000 out of range).\r\n"
                 "Pdu part not read: Negative of pdu: Short (header id -1 out of range).\r\n"
                 "Pdu part not read: Huge of pdu: Long (header id 99999999999999999999999 out of "
                 "range).\r\n");
    // The parts left out keep their room: Fits lies behind three short headers and two
    // 2-byte parts, or behind two long headers and one part.
    ASSERT_EQ(file->FindPdu("Short")->GetSignalCount(), 1u);
    EXPECT_EQ(file->FindPdu("Short")->GetSignal(0)->GetStartPosition(), 16u * 8);
    ASSERT_EQ(file->FindPdu("Long")->GetSignalCount(), 1u);
    EXPECT_EQ(file->FindPdu("Long")->GetSignal(0)->GetStartPosition(), 18u * 8);
}

TEST(ArxmlWholeDocument, CarriersThatCarryThemselvesAreReportedOnce) {
    auto file = LoadWhole(Autosar4(
        Signals(ISignal("Gear", 4)) + Package("P", SignalPdu("Leaf", 1, Mapping("/S/Gear", 0))) +
        Package("K", Container("Self", "SHORT-HEADER", "/K/Self /P/Leaf") +
                         Container("Ping", "SHORT-HEADER", "/K/Pong") +
                         Container("Pong", "SHORT-HEADER", "/K/Ping /P/Leaf"))));
    EXPECT_STREQ(file->GetMessages(),
                 "Pdu part not read: Self of pdu: Self (the parts form a cycle).\r\n"
                 "Pdu part not read: Ping of pdu: Pong (the parts form a cycle).\r\n");
    EXPECT_EQ(file->GetPduCount(), 4u);
    // The part that closes a cycle keeps its room (64 bytes behind a header): Leaf lies at 72.
    ASSERT_EQ(file->FindPdu("Self")->GetSignalCount(), 1u);
    EXPECT_EQ(file->FindPdu("Self")->GetSignal(0)->GetStartPosition(), 72u * 8);
    ASSERT_EQ(file->FindPdu("Pong")->GetSignalCount(), 1u);
    EXPECT_EQ(file->FindPdu("Pong")->GetSignal(0)->GetStartPosition(), 72u * 8);
    // Ping carries Pong, with what Pong carries, behind its own header.
    ASSERT_EQ(file->FindPdu("Ping")->GetSignalCount(), 1u);
    EXPECT_EQ(file->FindPdu("Ping")->GetSignal(0)->GetStartPosition(), 76u * 8);
}

TEST(ArxmlWholeDocument, SecuredAndMultiplexedPdusCarryTheirParts) {
    const std::string secured =
        "<SECURED-I-PDU><SHORT-NAME>Sec</SHORT-NAME><LENGTH>8</LENGTH>"
        "<PAYLOAD-REF DEST=\"PDU-TRIGGERING\">/K/Can/Ch/PayloadTriggering</PAYLOAD-REF>"
        "<SECURE-COMMUNICATION-PROPS><AUTH-INFO-TX-LENGTH>10</AUTH-INFO-TX-LENGTH>"
        "<FRESHNESS-VALUE-TX-LENGTH>6</FRESHNESS-VALUE-TX-LENGTH></SECURE-COMMUNICATION-PROPS>"
        "</SECURED-I-PDU>";
    const std::string multiplexed =
        "<MULTIPLEXED-I-PDU><SHORT-NAME>Mux</SHORT-NAME><LENGTH>8</LENGTH><DYNAMIC-PARTS>"
        "<DYNAMIC-PART><DYNAMIC-PART-ALTERNATIVES>"
        "<DYNAMIC-PART-ALTERNATIVE><I-PDU-REF DEST=\"I-SIGNAL-I-PDU\">/P/Alt0</I-PDU-REF>"
        "<SELECTOR-FIELD-CODE>0</SELECTOR-FIELD-CODE></DYNAMIC-PART-ALTERNATIVE>"
        "<DYNAMIC-PART-ALTERNATIVE><I-PDU-REF DEST=\"I-SIGNAL-I-PDU\">/P/Alt1</I-PDU-REF>"
        "<SELECTOR-FIELD-CODE>0x1</SELECTOR-FIELD-CODE><INITIAL-DYNAMIC-PART>true"
        "</INITIAL-DYNAMIC-PART>"
        "</DYNAMIC-PART-ALTERNATIVE></DYNAMIC-PART-ALTERNATIVES></DYNAMIC-PART></DYNAMIC-PARTS>"
        "<SELECTOR-FIELD-LENGTH>2</SELECTOR-FIELD-LENGTH>"
        "<SELECTOR-FIELD-START-POSITION>0</SELECTOR-FIELD-START-POSITION>"
        "<STATIC-PARTS><STATIC-PART><I-PDU-REF DEST=\"I-SIGNAL-I-PDU\">/P/Static</I-PDU-REF>"
        "</STATIC-PART></STATIC-PARTS></MULTIPLEXED-I-PDU>";
    // The same parts with a selector field no part lays a signal on, carried by a container.
    std::string bare = multiplexed;
    bare.replace(bare.find("<SHORT-NAME>Mux<"), 16, "<SHORT-NAME>Bare<");
    bare.replace(bare.find("START-POSITION>0<"), 17, "START-POSITION>56<");
    const std::string container = Container("Box", "NO-HEADER", "/X/Bare");
    auto file = LoadWhole(Autosar4(
        Signals(ISignal("Sel", 2) + ISignal("A", 4) + ISignal("B", 4) + ISignal("St", 8)) +
        Package("X", secured + multiplexed + bare + container) +
        Package("P", SignalPdu("Payload", 4, Mapping("/S/A", 3)) +
                         SignalPdu("Alt0", 8, Mapping("/S/Sel", 0) + Mapping("/S/A", 8)) +
                         SignalPdu("Alt1", 8, Mapping("/S/Sel", 0) + Mapping("/S/B", 8)) +
                         SignalPdu("Static", 8, Mapping("/S/St", 32))) +
        Package("K", CanCluster("Can", "", PduTriggering("PayloadTriggering", "/P/Payload")))));
    EXPECT_STREQ(file->GetMessages(), "");
    // The secured PDU's trailer follows its 4-byte payload: 6 bits of freshness value from the
    // most significant bit of byte 4, then 10 of authenticator.
    IArxmlPdu* sec = file->FindPdu("Sec");
    ASSERT_EQ(sec->GetSignalCount(), 3u);
    EXPECT_EQ(sec->GetSignal(0)->GetStartPosition(), 3u);
    QM_EXPECT_FIELDS(*sec->FindSignal("Sec_Freshness"), (GetStartPosition(), 39u),
                     (GetBitLength(), 6u), (GetByteOrder(), '0'));
    QM_EXPECT_FIELDS(*sec->FindSignal("Sec_Authenticator"), (GetStartPosition(), 33u),
                     (GetBitLength(), 10u), (GetByteOrder(), '0'));
    // Static part first, then the alternatives; the selector both lay at bit 0 is one signal,
    // A and B share bit 8 as alternatives do.
    IArxmlPdu* mux = file->FindPdu("Mux");
    ASSERT_EQ(mux->GetSignalCount(), 4u);
    EXPECT_STREQ(mux->GetSignal(0)->GetName(), "St");
    EXPECT_STREQ(mux->GetSignal(1)->GetName(), "Sel");
    EXPECT_EQ(mux->FindSignal("B")->GetStartPosition(), 8u);
    // The selector field chooses the alternatives' signals by their codes; the static part's
    // signal is always sent.
    const auto multiplexing = [](IArxmlPdu* pdu, const char* name) {
        return dynamic_cast<IArxmlSignalMultiplexing*>(pdu->FindSignal(name));
    };
    EXPECT_TRUE(multiplexing(mux, "Sel")->IsSelector());
    // A sender starts with the part marked initial.
    EXPECT_EQ(dynamic_cast<IArxmlSignalEncoding*>(mux->FindSignal("Sel"))->GetInitValue(), 1.0);
    EXPECT_EQ(multiplexing(mux, "St")->GetSelector(), nullptr);
    QM_EXPECT_FIELDS(*multiplexing(mux, "A"), (GetSelector(), mux->FindSignal("Sel")),
                     (GetSelectorCode(), 0));
    QM_EXPECT_FIELDS(*multiplexing(mux, "B"), (GetSelector(), mux->FindSignal("Sel")),
                     (GetSelectorCode(), 1));
    // Without a signal on the field, one is made for it; a container keeps the links between
    // its copies.
    for (IArxmlPdu* pdu : {file->FindPdu("Bare"), file->FindPdu("Box")}) {
        SCOPED_TRACE(pdu->GetName());
        IArxmlSignal* selector = pdu->FindSignal("Bare_selector");
        ASSERT_NE(selector, nullptr);
        QM_EXPECT_FIELDS(*selector, (GetStartPosition(), 56u), (GetBitLength(), 2u));
        EXPECT_TRUE(dynamic_cast<IArxmlSignalMultiplexing*>(selector)->IsSelector());
        EXPECT_EQ(multiplexing(pdu, "Sel")->GetSelectorCode(), -1);
        QM_EXPECT_FIELDS(*multiplexing(pdu, "B"), (GetSelector(), selector),
                         (GetSelectorCode(), 1));
    }
}

TEST(ArxmlWholeDocument, APduReachableTwiceIsOnePdu) {
    // Two clusters trigger the same PDU through frames of their own, and a second package
    // holds a PDU of the same name: each element is one PDU, and the references lead to the
    // element they name, not to the first PDU of that name.
    auto file = LoadWhole(Autosar4(
        Package("A", SignalPdu("Shared", 2, "")) + Package("B", SignalPdu("Shared", 6, "")) +
        Package("F", Frame("F1", "/B/Shared") + Frame("F2", "/B/Shared")) +
        Package(
            "C",
            CanCluster("One", FrameTriggering("T1", "/F/F1", 1), PduTriggering("P1", "/B/Shared")) +
                CanCluster("Two", FrameTriggering("T2", "/F/F2", 2),
                           PduTriggering("P2", "/B/Shared") + PduTriggering("P3", "/B/Shared")))));
    ASSERT_EQ(file->GetPduCount(), 2u);
    EXPECT_EQ(file->GetPdu(0)->GetIdentifier(), -1);  // /A/Shared is in no frame
    IArxmlPdu* shared = file->GetPdu(1);
    EXPECT_EQ(shared->GetIdentifier(), 2);  // the last triggering gives the frame data
    ASSERT_EQ(file->GetClusterCount(), 2u);
    QM_EXPECT_FIELDS(*file->GetCluster(0), (GetPduCount(), 1u), (GetPdu(0), shared));
    EXPECT_EQ(file->GetCluster(1)->GetPduCount(), 1u);
    EXPECT_EQ(file->GetFrameCount(), 2u);
}

TEST(ArxmlWholeDocument, PackagesNestedThousandsDeepAreRead) {
    // Distinct names: namesakes at every depth would time the resolver's path index instead.
    std::vector<std::string> names;
    for (int i = 0; i < 5000; ++i) names.push_back("Deep" + std::to_string(i));
    auto file = LoadWhole(Autosar4(Nested(names, SignalPdu("Bottom", 1, "")) +
                                   Package("Top", SignalPdu("Top", 1, ""))));
    ASSERT_EQ(file->GetPduCount(), 2u);
    EXPECT_STREQ(file->GetPdu(0)->GetName(), "Bottom");
    EXPECT_STREQ(file->GetPdu(1)->GetName(), "Top");
}

TEST(ArxmlWholeDocument, CarriersCannotMultiplyTheDocument) {
    // Each level carries the one below twice; eight levels would copy the leaf's signals
    // 2^8 times. Nesting is cut at eight levels and copies at a budget: the model stays small
    // and every part left out is reported.
    std::string mappings;
    for (int i = 0; i < 64; ++i) mappings += Mapping("/S/Bit", i);
    std::string carriers;
    for (int level = 1; level <= 12; ++level) {
        const std::string below = level == 1 ? "/P/Leaf" : "/K/L" + std::to_string(level - 1);
        carriers += Container("L" + std::to_string(level), "NO-HEADER", below + " " + below);
    }
    auto file =
        LoadWhole(Autosar4(Signals(ISignal("Bit", 1)) +
                           Package("P", SignalPdu("Leaf", 8, mappings)) + Package("K", carriers)));
    uint64_t signals = 0;
    for (uint64_t i = 0; i < file->GetPduCount(); ++i) signals += file->GetPdu(i)->GetSignalCount();
    EXPECT_LE(signals, 64u + 64u * 8 + 4096);
    const std::string messages = file->GetMessages();
    EXPECT_NE(messages.find("(too many signals)"), std::string::npos) << messages;
}

TEST(ArxmlWholeDocument, StartPositionsBeyondTheModelAreReported) {
    auto file = LoadWhole(
        Autosar4(Signals(ISignal("Gear", 4)) +
                 Package("P", SignalPdu("Far", 2, Mapping("/S/Gear", 0), "<OFFSET>9000</OFFSET>")) +
                 Package("K", Container("Big", "NO-HEADER", "/P/Far"))));
    EXPECT_STREQ(file->GetMessages(),
                 "Pdu part not read: Far of pdu: Big (start position out of range).\r\n");
    EXPECT_EQ(file->FindPdu("Big")->GetSignalCount(), 0u);
}

// Exact reading appends a PDU or ECU per mention and keeps to its generation's names; whole-
// document reading keeps one of each and also takes the I-signal's constraints.
TEST(ArxmlWholeDocument, ExactReadingAppendsAndKeepsToItsGeneration) {
    const auto connector = [](const std::string& name, const std::string& controller) {
        return "<CAN-COMMUNICATION-CONNECTOR><SHORT-NAME>" + name + "</SHORT-NAME>" +
               (controller.empty() ? ""
                                   : "<COMM-CONTROLLER-REF DEST=\"CAN-COMMUNICATION-CONTROLLER\">" +
                                         controller + "</COMM-CONTROLLER-REF>") +
               "</CAN-COMMUNICATION-CONNECTOR>";
    };
    const auto ecu = [](const std::string& name, const std::string& connectors) {
        return "<ECU-INSTANCE><SHORT-NAME>" + name +
               "</SHORT-NAME><COMM-CONTROLLERS><CAN-COMMUNICATION-CONTROLLER><SHORT-NAME>Ctrl"
               "</SHORT-NAME></CAN-COMMUNICATION-CONTROLLER></COMM-CONTROLLERS><CONNECTORS>" +
               connectors + "</CONNECTORS></ECU-INSTANCE>";
    };
    const auto connectorRef = [](const std::string& path) {
        return "<CAN-COMMUNICATION-CONNECTOR-REF-CONDITIONAL><COMMUNICATION-CONNECTOR-REF "
               "DEST=\"CAN-COMMUNICATION-CONNECTOR\">" +
               path +
               "</COMMUNICATION-CONNECTOR-REF></CAN-COMMUNICATION-CONNECTOR-REF-CONDITIONAL>";
    };
    const std::string cluster =
        "<CAN-CLUSTER><SHORT-NAME>Bus</SHORT-NAME><CAN-CLUSTER-VARIANTS><CAN-CLUSTER-CONDITIONAL>"
        "<SPEED>125000</SPEED><PHYSICAL-CHANNELS><CAN-PHYSICAL-CHANNEL><SHORT-NAME>Ch</SHORT-NAME>"
        "<COMM-CONNECTORS>" +
        connectorRef("/E/Twice/A") + connectorRef("/E/Twice/B") + connectorRef("/E/Loose/C") +
        "</COMM-CONNECTORS><PDU-TRIGGERINGS>" + PduTriggering("T1", "/PDU/P") +
        PduTriggering("T2", "/PDU/P") +
        "</PDU-TRIGGERINGS></CAN-PHYSICAL-CHANNEL></PHYSICAL-CHANNELS>"
        "</CAN-CLUSTER-CONDITIONAL></CAN-CLUSTER-VARIANTS></CAN-CLUSTER>";
    // The I-signal's network representation names a constraint; the system signal none.
    const std::string constrained =
        "<I-SIGNAL><SHORT-NAME>Speed</SHORT-NAME><LENGTH>8</LENGTH><NETWORK-REPRESENTATION-PROPS>"
        "<SW-DATA-DEF-PROPS-VARIANTS><SW-DATA-DEF-PROPS-CONDITIONAL><DATA-CONSTR-REF "
        "DEST=\"DATA-CONSTR\">/S/Range</DATA-CONSTR-REF></SW-DATA-DEF-PROPS-CONDITIONAL>"
        "</SW-DATA-DEF-PROPS-VARIANTS></NETWORK-REPRESENTATION-PROPS><SYSTEM-SIGNAL-REF "
        "DEST=\"SYSTEM-SIGNAL\">/S/Sys</SYSTEM-SIGNAL-REF></I-SIGNAL>"
        "<DATA-CONSTR><SHORT-NAME>Range</SHORT-NAME><DATA-CONSTR-RULES><DATA-CONSTR-RULE>"
        "<PHYS-CONSTRS><LOWER-LIMIT>-5</LOWER-LIMIT><UPPER-LIMIT>9</UPPER-LIMIT></PHYS-CONSTRS>"
        "</DATA-CONSTR-RULE></DATA-CONSTR-RULES></DATA-CONSTR>";
    const std::string document =
        Autosar4(Signals(constrained) + Package("PDU", SignalPdu("P", 8, Mapping("/S/Speed", 0))) +
                 Package("E", ecu("Twice", connector("A", "/E/Twice/Ctrl") +
                                               connector("B", "/E/Twice/Ctrl")) +
                                  ecu("Loose", connector("C", ""))) +
                 Package("Cluster", cluster));

    auto exact = arxml_test::LoadText(document);
    IArxmlCluster* bus = exact->GetCluster(0);
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->GetBaudrate(), 0u);
    ASSERT_EQ(bus->GetEcuCount(), 2u);
    EXPECT_STREQ(bus->GetEcu(1)->GetName(), "Twice");
    EXPECT_EQ(bus->GetPduCount(), 2u);
    EXPECT_EQ(bus->GetPdu(1), exact->FindPdu("P"));
    IArxmlSignal* speed = exact->FindPdu("P")->FindSignal("Speed");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->GetMinimum(), 0.0);
    EXPECT_EQ(speed->GetMaximum(), 0.0);

    auto whole = LoadWhole(document);
    bus = whole->GetCluster(0);
    ASSERT_NE(bus, nullptr);
    EXPECT_EQ(bus->GetBaudrate(), 125000u);
    ASSERT_EQ(bus->GetEcuCount(), 2u);
    EXPECT_STREQ(bus->GetEcu(1)->GetName(), "Loose");
    EXPECT_EQ(bus->GetPduCount(), 1u);
    speed = whole->FindPdu("P")->FindSignal("Speed");
    ASSERT_NE(speed, nullptr);
    EXPECT_EQ(speed->GetMinimum(), -5.0);
    EXPECT_EQ(speed->GetMaximum(), 9.0);
}

// A time without VALUE: whole-document reading takes the bare number, exact reading none.
TEST(ArxmlWholeDocument, BareTimesAreWholeDocumentReading) {
    const std::string document = Autosar4(Package(
        "PDU",
        "<I-SIGNAL-I-PDU><SHORT-NAME>P</SHORT-NAME><LENGTH>1</LENGTH>"
        "<I-PDU-TIMING-SPECIFICATIONS><I-PDU-TIMING><CYCLIC-TIMING><TIME-PERIOD>0.25</TIME-PERIOD>"
        "<TIME-OFFSET><TOLERANCE/></TIME-OFFSET></CYCLIC-TIMING><MINIMUM-DELAY>0.01</MINIMUM-DELAY>"
        "</I-PDU-TIMING></I-PDU-TIMING-SPECIFICATIONS></I-SIGNAL-I-PDU>"));
    auto exact = arxml_test::LoadText(document);
    QM_EXPECT_FIELDS(*exact->FindPdu("P"), (HasCyclicTimePeriod(), false), (HasTimeOffset(), false),
                     (HasMinimumDelay(), true));
    auto whole = LoadWhole(document);
    QM_EXPECT_FIELDS(*whole->FindPdu("P"), (HasCyclicTimePeriod(), true),
                     (GetCyclicTimePeriod(), 0.25), (HasMinimumDelay(), true));
}

// Internal constraints are scaled to physical limits by one linear scale; physical ones stay.
TEST(ArxmlWholeDocument, RawLimitsAreScaledToPhysical) {
    // A system signal of the compu method /S/Lin and the constraint named (none for "").
    const auto system = [](const std::string& name, const std::string& constraint) {
        return "<SYSTEM-SIGNAL><SHORT-NAME>" + name +
               "</SHORT-NAME><PHYSICAL-PROPS><SW-DATA-DEF-PROPS-VARIANTS>"
               "<SW-DATA-DEF-PROPS-CONDITIONAL><COMPU-METHOD-REF DEST=\"COMPU-METHOD\">/S/Lin"
               "</COMPU-METHOD-REF>" +
               (constraint.empty() ? std::string()
                                   : "<DATA-CONSTR-REF DEST=\"DATA-CONSTR\">/S/" + constraint +
                                         "</DATA-CONSTR-REF>") +
               "</SW-DATA-DEF-PROPS-CONDITIONAL></SW-DATA-DEF-PROPS-VARIANTS>"
               "</PHYSICAL-PROPS></SYSTEM-SIGNAL>";
    };
    const auto constraint = [](const std::string& name, const std::string& kind) {
        return "<DATA-CONSTR><SHORT-NAME>" + name +
               "</SHORT-NAME><DATA-CONSTR-RULES><DATA-CONSTR-RULE><" + kind +
               "><LOWER-LIMIT>0</LOWER-LIMIT><UPPER-LIMIT>3</UPPER-LIMIT></" + kind +
               "></DATA-CONSTR-RULE></DATA-CONSTR-RULES></DATA-CONSTR>";
    };
    const std::string linear =
        "<UNIT><SHORT-NAME>NoUnit</SHORT-NAME><DISPLAY-NAME>NoUnit</DISPLAY-NAME></UNIT>"
        "<COMPU-METHOD><SHORT-NAME>Lin</SHORT-NAME><CATEGORY>LINEAR</CATEGORY>"
        "<UNIT-REF DEST=\"UNIT\">/S/NoUnit</UNIT-REF>"
        "<COMPU-INTERNAL-TO-PHYS><COMPU-SCALES><COMPU-SCALE><COMPU-RATIONAL-COEFFS>"
        "<COMPU-NUMERATOR><V>10</V><V>2.5</V></COMPU-NUMERATOR><COMPU-DENOMINATOR><V>1</V>"
        "</COMPU-DENOMINATOR></COMPU-RATIONAL-COEFFS></COMPU-SCALE></COMPU-SCALES>"
        "</COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>";
    const auto iSignal = [](const std::string& name, const std::string& systemName) {
        return "<I-SIGNAL><SHORT-NAME>" + name +
               "</SHORT-NAME><LENGTH>2</LENGTH><SYSTEM-SIGNAL-REF DEST=\"SYSTEM-SIGNAL\">/S/" +
               systemName + "</SYSTEM-SIGNAL-REF></I-SIGNAL>";
    };
    auto file = LoadWhole(
        Autosar4(Package("S", linear + constraint("Raw", "INTERNAL-CONSTRS") +
                                  constraint("Phys", "PHYS-CONSTRS") + system("RawSys", "Raw") +
                                  system("PhysSys", "Phys") + iSignal("Raw", "RawSys") +
                                  iSignal("Phys", "PhysSys")) +
                 Package("P", SignalPdu("Pdu", 1, Mapping("/S/Raw", 0) + Mapping("/S/Phys", 2)))));
    IArxmlPdu* pdu = file->FindPdu("Pdu");
    ASSERT_NE(pdu, nullptr);
    // The unit of dimensionless values, "NoUnit", is no unit.
    QM_EXPECT_FIELDS(*pdu->FindSignal("Raw"), (GetMinimum(), 10.0), (GetMaximum(), 17.5),
                     (GetUnit(), ""));
    QM_EXPECT_FIELDS(*pdu->FindSignal("Phys"), (GetMinimum(), 0.0), (GetMaximum(), 3.0));
    // Without constraints, the limits of the compu method's one scale stand for them.
    std::string scaled = linear;
    scaled.replace(
        scaled.find("<COMPU-RATIONAL-COEFFS>"), 23,
        "<LOWER-LIMIT>-4</LOWER-LIMIT><UPPER-LIMIT>4</UPPER-LIMIT><COMPU-RATIONAL-COEFFS>");
    auto unconstrained =
        LoadWhole(Autosar4(Package("S", scaled + system("Free", "") + iSignal("Free", "Free")) +
                           Package("P", SignalPdu("Pdu", 1, Mapping("/S/Free", 0)))));
    QM_EXPECT_FIELDS(*unconstrained->FindPdu("Pdu")->FindSignal("Free"), (GetMinimum(), 0.0),
                     (GetMaximum(), 20.0));
}

// With the FALSE timing first, whole-document reading takes the TRUE one, exact reading the first.
TEST(ArxmlWholeDocument, TheTrueTransmissionModeGivesTheTiming) {
    const auto cyclic = [](const char* seconds) {
        return std::string("<CYCLIC-TIMING><TIME-PERIOD><VALUE>") + seconds +
               "</VALUE></TIME-PERIOD></CYCLIC-TIMING>";
    };
    const std::string document = Autosar4(Package(
        "PDU",
        "<I-SIGNAL-I-PDU><SHORT-NAME>P</SHORT-NAME><LENGTH>1</LENGTH>"
        "<I-PDU-TIMING-SPECIFICATIONS><I-PDU-TIMING><TRANSMISSION-MODE-DECLARATION>"
        "<TRANSMISSION-MODE-FALSE-TIMING>" +
            cyclic("0.1") + "</TRANSMISSION-MODE-FALSE-TIMING><TRANSMISSION-MODE-TRUE-TIMING>" +
            cyclic("0.2") +
            "</TRANSMISSION-MODE-TRUE-TIMING></TRANSMISSION-MODE-DECLARATION>"
            "</I-PDU-TIMING></I-PDU-TIMING-SPECIFICATIONS></I-SIGNAL-I-PDU>"));
    EXPECT_EQ(arxml_test::LoadText(document)->FindPdu("P")->GetCyclicTimePeriod(), 0.1);
    EXPECT_EQ(LoadWhole(document)->FindPdu("P")->GetCyclicTimePeriod(), 0.2);
}

}  // namespace
