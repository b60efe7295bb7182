// Whole-document SOME/IP reading: every real ARXML file of the shared corpus (what was read
// pinned per file, headers compiled), services joined across files, the Classic Platform layout,
// and bad input.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "autosar_prefix.h"
#include "corpus_files.h"
#include "expect_fields.h"
#include "someip/document_header.h"
#include "someip_test_support.h"

namespace document {
namespace {

using someip_test::TempFile;

std::filesystem::path CorpusDir() {
    return qmtest::CorpusFolder("arxml");
}

std::unique_ptr<CArxmlDatabase> LoadWhole(const std::vector<std::string>& paths) {
    auto db = std::make_unique<CArxmlDatabase>();
    EXPECT_TRUE(db->SetReadingMode(kSomeIpReadWholeDocument));
    someip_test::LoadPaths(*db, paths);
    NanoXML::ClearMessageLog();
    return db;
}

std::unique_ptr<CArxmlDatabase> LoadWholeTexts(const std::vector<std::string>& texts) {
    auto db = someip_test::LoadTexts(texts, nullptr, kSomeIpReadWholeDocument);
    NanoXML::ClearMessageLog();
    return db;
}

// What whole-document reading counts, in the order of SomeIpReadCount.
struct Counts {
    uint64_t values[8] = {};
    bool operator==(const Counts& other) const {
        return std::equal(std::begin(values), std::end(values), std::begin(other.values));
    }
};

std::ostream& operator<<(std::ostream& out, const Counts& c) {
    out << "{";
    for (uint64_t v : c.values) out << v << ",";
    return out << "}";
}

Counts ReadCounts(CArxmlDatabase& db) {
    Counts counts;
    for (int32_t i = 0; i < 8; ++i) counts.values[i] = db.GetReadCount(i);
    return counts;
}

// Compiles a header as C++11 and C++17; returns the compiler's complaints ("" when clean).
// Without a g++ on the machine nothing is compiled and nothing complained about.
std::string CompileErrors(const std::string& header) {
    static const bool haveCompiler = std::system("command -v g++ > /dev/null 2>&1") == 0;
    if (!haveCompiler) return "";
    const TempFile file(header, ".h");
    std::string errors;
    for (const char* standard : {"c++11", "c++17"}) {
        const std::string command = "g++ -std=" + std::string(standard) +
                                    " -fsyntax-only -Wall -x c++ " + file.Path() + " 2>&1";
        FILE* pipe = popen(command.c_str(), "r");
        if (pipe == nullptr) return "cannot run g++";
        char buffer[4096];
        size_t got = 0;
        while ((got = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) errors.append(buffer, got);
        if (pclose(pipe) != 0 && errors.empty()) errors = "g++ failed";
    }
    return errors;
}

uint64_t PduGroups(CArxmlDatabase& db) {
    uint64_t count = 0;
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) count += db.GetEcu(i)->GetNodeCount();
    return count;
}

uint64_t EcuServices(CArxmlDatabase& db) {
    uint64_t count = 0;
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) count += db.GetEcu(i)->GetServiceCount();
    return count;
}

// Pinned per corpus file, read alone: whole-document counts and services; then the described
// reader's ECUs, PDU groups and Ethernet clusters (none of the files follows its package layout,
// so it reads no service, without a word).
struct CorpusYield {
    Counts counts;  // interfaces, deployments, instances, methods, events, fields, groups, types
    uint64_t services;
    uint64_t ecus, pduGroups, ethernetClusters;
};

// clang-format off
const std::map<std::string, CorpusYield> kCorpus = {
    {"capi_adi_sensoritf_common.arxml", {{{0, 0, 0, 0, 0, 0, 0, 263}}, 0, 0, 0, 0}},
    {"capi_cgd_m1_service_instance_timing.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"capi_cgd_m1_someip_instances.arxml", {{{0, 0, 4, 0, 0, 0, 0, 0}}, 4, 0, 0, 0}},
    {"capi_hw_m1_service_instances_someip_deployments.arxml", {{{0, 0, 2, 0, 0, 0, 0, 0}}, 1, 0, 0, 0}},
    {"capi_hw_service_interfaces.arxml", {{{1, 0, 0, 1, 1, 0, 0, 0}}, 1, 0, 0, 0}},
    {"capi_hw_service_interfaces_someip_deployments.arxml", {{{0, 1, 0, 1, 1, 0, 1, 0}}, 1, 0, 0, 0}},
    {"capi_network_manifest.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 1}},
    {"capi_nm_network_management_someip.arxml", {{{0, 1, 0, 9, 4, 2, 6, 0}}, 1, 0, 0, 0}},
    {"cm_ARXMLContainerTest.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"cm_ARXMLSecuredPDUTest.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 2, 0, 0}},
    {"cm_cluster_arxml_FD.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"cm_test_ar323.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"cp_Linexample_ecuc.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"ct_system-3.2.3.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"ct_system-4.2.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 3, 4, 0}},
    {"ct_system-DAI-3.1.2.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"ct_system-dangling-reference-4.2.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"ct_system-float-values.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"ct_system-missing-denominator-4.2.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"lg_extended_vehicle_manifest.arxml", {{{0, 1, 1, 0, 0, 0, 0, 0}}, 1, 0, 0, 0}},
    {"pa_AUTOSAR_Datatypes.arxml", {{{0, 0, 0, 0, 0, 0, 0, 15}}, 0, 0, 0, 0}},
    {"pa_CanSystem.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 0, 0, 0}},
    {"tpms_ConvertedLegacy_BCM.arxml", {{{0, 0, 0, 0, 0, 0, 0, 0}}, 0, 1, 1, 0}},
};
// clang-format on

class SomeIpCorpusFile : public testing::TestWithParam<std::string> {};

TEST_P(SomeIpCorpusFile, BothReadersGiveTheirPinnedYieldAndTheHeaderCompiles) {
    const std::filesystem::path path = CorpusDir() / GetParam();
    if (!std::filesystem::exists(path)) GTEST_SKIP() << "no shared corpus";
    auto db = LoadWhole({path.string()});
    const CorpusYield& pinned = kCorpus.at(GetParam());
    EXPECT_EQ(ReadCounts(*db), pinned.counts);
    EXPECT_EQ(db->GetSomeIpServiceCount(), pinned.services);
    // The header of a file without services or types is the same skeleton for every file.
    if (pinned.services != 0 || pinned.counts.values[kSomeIpCountDataTypes] != 0) {
        EXPECT_EQ(CompileErrors(db->GenerateServicesHeader(nullptr)), "");
    }
    // The described reader is not changed by the mode: it gives no document services, the same
    // ECUs and what its own layout finds.
    CArxmlDatabase exact;
    ASSERT_TRUE(someip_test::LoadPaths(exact, {path.string()}));
    NanoXML::ClearMessageLog();
    QM_EXPECT_FIELDS(exact, (GetSomeIpServiceCount(), 0u), (GetEcuCount(), db->GetEcuCount()),
                     (GetEcuCount(), pinned.ecus));
    EXPECT_EQ(PduGroups(exact), pinned.pduGroups);
    ASSERT_NE(exact.GetClusters(), nullptr);
    EXPECT_EQ(exact.GetClusters()->GetEthernetClusterCount(), pinned.ethernetClusters);
    EXPECT_EQ(EcuServices(exact), 0u);
    const std::string messages = exact.GetMessages();
    EXPECT_EQ(messages.substr(0, messages.find("\r\n")), "");
    // The database survives a second load of itself.
    ASSERT_TRUE(someip_test::LoadPaths(exact, {path.string()}));
    EXPECT_EQ(exact.GetEcuCount(), pinned.ecus);
}

std::vector<std::string> CorpusNames() {
    std::vector<std::string> names;
    for (const auto& [name, yield] : kCorpus) names.push_back(name);
    return names;
}

INSTANTIATE_TEST_SUITE_P(Corpus, SomeIpCorpusFile, testing::ValuesIn(CorpusNames()),
                         [](const testing::TestParamInfo<std::string>& info) {
                             return qmtest::TestName(info.param.substr(0, info.param.find('.')));
                         });

TEST(SomeIpCorpusSets, TheHelloWorldFilesJoinIntoOneServiceThatCompiles) {
    const std::filesystem::path dir = CorpusDir();
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no shared corpus";
    const std::vector<std::string> set = {
        (dir / "capi_hw_service_interfaces.arxml").string(),
        (dir / "capi_hw_service_interfaces_someip_deployments.arxml").string(),
        (dir / "capi_hw_m1_service_instances_someip_deployments.arxml").string()};
    // Through the described reader's layout the set gives nothing, and it loads together
    // without unresolved deployment references.
    CArxmlDatabase exact;
    NanoXML::ClearMessageLog();
    ASSERT_TRUE(someip_test::LoadPaths(exact, set));
    EXPECT_EQ(exact.GetEcuCount(), 0u);
    EXPECT_EQ(NanoXML::MessageLog().find("ServiceHelloWorld\""), std::string::npos);
    auto db = LoadWhole(set);
    EXPECT_EQ(ReadCounts(*db), (Counts{{1, 1, 2, 1, 1, 0, 1, 0}}));
    // (Its interface path, identifiers, method arguments and instances, as the binding shows
    // them: python/tests/test_someip.py.)
    ASSERT_EQ(db->GetSomeIpServiceCount(), 1u);
    ISomeIpService* service = db->GetSomeIpService(0);
    ASSERT_EQ(service->GetEventCount(), 1u);
    EXPECT_EQ(service->GetEvent(0)->GetId(), 1);
    ASSERT_EQ(service->GetInstanceCount(), 2u);
    EXPECT_STREQ(service->GetInstance(1)->GetEventGroupName(0), "Eventgroup1");
    // Every reference between the three resolves; only the shared types live elsewhere.
    EXPECT_EQ(std::string(db->GetMessages()).find("REF of "), std::string::npos);
    EXPECT_EQ(CompileErrors(db->GenerateServicesHeader(nullptr)), "");
}

TEST(SomeIpCorpusSets, InstancesReadTheirTimingFromTheTimingFile) {
    const std::filesystem::path dir = CorpusDir();
    if (!std::filesystem::exists(dir)) GTEST_SKIP() << "no shared corpus";
    auto db = LoadWhole({(dir / "capi_cgd_m1_someip_instances.arxml").string(),
                         (dir / "capi_cgd_m1_service_instance_timing.arxml").string()});
    ISomeIpService* server = db->FindSomeIpService("DiagnosticResetServer");
    ASSERT_NE(server, nullptr);
    ISomeIpInstance* instance = server->GetInstance(0);
    QM_EXPECT_FIELDS(*instance, (HasDiscoveryTiming(), true), (GetInstanceId(), 100),
                     (GetTimeToLive(), 8u), (GetCyclicDelay(), 2.0),
                     (GetInitialRepetitionsMax(), 3));
    // "ANY" is the SOME/IP wildcard id; the deployments are not part of the corpus.
    ISomeIpService* client = db->FindSomeIpService("DiagnosticResetClient");
    ASSERT_NE(client, nullptr);
    EXPECT_EQ(client->GetInstance(0)->GetInstanceId(), 0xFFFF);
    EXPECT_NE(std::string(db->GetMessages())
                  .find("SERVICE-INTERFACE-DEPLOYMENT-REF of REQUIRED-SOMEIP-SERVICE-INSTANCE "
                        "SomeipRequiredDiagnosticResetClientInstance not resolved: "
                        "/iSOFT/PlatformComponents/sm/SomeipInterfaceDeployments/"
                        "DiagnosticResetClient."),
              std::string::npos);
}

TEST(SomeIpCorpusSets, AllFilesInOneLoad) {
    const std::vector<std::string> files = qmtest::CorpusPaths("arxml", {".arxml"});
    if (files.empty()) GTEST_SKIP() << "no shared corpus";
    EXPECT_EQ(files.size(), kCorpus.size());
    CArxmlDatabase db;
    ASSERT_TRUE(someip_test::LoadPaths(db, files));
    EXPECT_EQ(db.GetLoadedFileCount(), files.size());
    // The "ECU" packages of three files merge: their ECUs are read together.
    std::vector<std::string> ecus;
    for (uint64_t i = 0; i < db.GetEcuCount(); ++i) ecus.push_back(db.GetEcu(i)->GetName());
    EXPECT_EQ(ecus, (std::vector<std::string>{"testBU", "recBU", "DJ", "Dancer", "Guard", "BCM"}));
    EXPECT_EQ(PduGroups(db), 5u);
    EXPECT_EQ(db.GetClusters()->GetEthernetClusterCount(), 1u);
    EXPECT_EQ(EcuServices(db), 0u);
    NanoXML::ClearMessageLog();
}

// ---------------------------------------------------------------------------------------------
// Documents written here.

using someip_test::DataType;
using someip_test::Document;
using someip_test::Member;
using someip_test::Package;
using someip_test::TypeRef;

std::string ValueType(const std::string& name, const std::string& base) {
    return "<IMPLEMENTATION-DATA-TYPE><SHORT-NAME>" + name +
           "</SHORT-NAME><CATEGORY>VALUE</CATEGORY><SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS>"
           "<SW-DATA-DEF-PROPS-CONDITIONAL><BASE-TYPE-REF DEST=\"SW-BASE-TYPE\">/Base/" +
           base +
           "</BASE-TYPE-REF></SW-DATA-DEF-PROPS-CONDITIONAL></SW-DATA-DEF-PROPS-VARIANTS>"
           "</SW-DATA-DEF-PROPS></IMPLEMENTATION-DATA-TYPE>";
}

std::string Reference(const std::string& name, const std::string& dest, const std::string& path) {
    return "<" + name + " DEST=\"" + dest + "\">" + path + "</" + name + ">";
}

std::string Structure(const std::string& name, const std::string& members) {
    return DataType(name, "STRUCTURE", "<SUB-ELEMENTS>" + members + "</SUB-ELEMENTS>");
}

std::string Alias(const std::string& name, const std::string& path) {
    return DataType(name, "TYPE_REFERENCE", TypeRef(path));
}

const std::string kBaseTypes =
    Package("Base",
            "<SW-BASE-TYPE><SHORT-NAME>uint16</SHORT-NAME><BASE-TYPE-SIZE>16</BASE-TYPE-SIZE></"
            "SW-BASE-TYPE>"
            "<SW-BASE-TYPE><SHORT-NAME>Weird</SHORT-NAME><BASE-TYPE-SIZE>32</BASE-TYPE-SIZE>"
            "<BASE-TYPE-ENCODING>2C</BASE-TYPE-ENCODING></SW-BASE-TYPE>");

// A brake service: its interface and data types in one file, its deployment, instances and
// machine mapping in a second, in packages named as their authors liked, nested deeply.
const std::string kBrakeInterface = Document(
    kBaseTypes +
    Package(
        "Vendor", "",
        Package(
            "Types",
            ValueType("Pressure", "uint16") + ValueType("Torque", "Weird") +
                Alias("PressureAlias", "/Vendor/Types/Pressure") +
                "<IMPLEMENTATION-DATA-TYPE><SHORT-NAME>Mode</SHORT-NAME><CATEGORY>"
                "TYPE_REFERENCE</CATEGORY><SW-DATA-DEF-PROPS><SW-DATA-DEF-PROPS-VARIANTS>"
                "<SW-DATA-DEF-PROPS-CONDITIONAL>" +
                Reference("COMPU-METHOD-REF", "COMPU-METHOD", "/Vendor/Types/ModeValues") +
                Reference("IMPLEMENTATION-DATA-TYPE-REF", "IMPLEMENTATION-DATA-TYPE",
                          "/Vendor/Types/Pressure") +
                "</SW-DATA-DEF-PROPS-CONDITIONAL></SW-DATA-DEF-PROPS-VARIANTS>"
                "</SW-DATA-DEF-PROPS></IMPLEMENTATION-DATA-TYPE>"
                "<COMPU-METHOD><SHORT-NAME>ModeValues</SHORT-NAME><CATEGORY>TEXTTABLE"
                "</CATEGORY><COMPU-INTERNAL-TO-PHYS><COMPU-SCALES>"
                "<COMPU-SCALE><LOWER-LIMIT>0</LOWER-LIMIT><COMPU-CONST><VT>Off</VT>"
                "</COMPU-CONST></COMPU-SCALE><COMPU-SCALE><LOWER-LIMIT>0x10</LOWER-LIMIT>"
                "<COMPU-CONST><VT>class</VT></COMPU-CONST></COMPU-SCALE>"
                "</COMPU-SCALES></COMPU-INTERNAL-TO-PHYS></COMPU-METHOD>" +
                Structure("Status",
                          Member("pressure", "/Vendor/Types/PressureAlias") +
                              Member("mode", "/Vendor/Types/Mode") +
                              "<IMPLEMENTATION-DATA-TYPE-ELEMENT><SHORT-NAME>history"
                              "</SHORT-NAME><CATEGORY>ARRAY</CATEGORY><SUB-ELEMENTS>" +
                              Member("item", "/Vendor/Types/Torque", "<ARRAY-SIZE>4</ARRAY-SIZE>") +
                              "</SUB-ELEMENTS></IMPLEMENTATION-DATA-TYPE-ELEMENT>") +
                "<APPLICATION-RECORD-DATA-TYPE><SHORT-NAME>Wheel</SHORT-NAME><ELEMENTS>"
                "<APPLICATION-RECORD-ELEMENT><SHORT-NAME>speed</SHORT-NAME>"
                "<TYPE-TREF DEST=\"APPLICATION-PRIMITIVE-DATA-TYPE\">/Vendor/Types/Speed"
                "</TYPE-TREF></APPLICATION-RECORD-ELEMENT></ELEMENTS>"
                "</APPLICATION-RECORD-DATA-TYPE>"
                "<APPLICATION-PRIMITIVE-DATA-TYPE><SHORT-NAME>Speed</SHORT-NAME>"
                "<CATEGORY>VALUE</CATEGORY></APPLICATION-PRIMITIVE-DATA-TYPE>"
                "<APPLICATION-ARRAY-DATA-TYPE><SHORT-NAME>Wheels</SHORT-NAME><ELEMENT>"
                "<SHORT-NAME>wheel</SHORT-NAME><TYPE-TREF DEST=\"APPLICATION-RECORD-DATA-"
                "TYPE\">/Vendor/Types/Wheel</TYPE-TREF><MAX-NUMBER-OF-ELEMENTS>4"
                "</MAX-NUMBER-OF-ELEMENTS></ELEMENT></APPLICATION-ARRAY-DATA-TYPE>") +
            Package("Interfaces",
                    "<SERVICE-INTERFACE><SHORT-NAME>Brake</SHORT-NAME><MAJOR-VERSION>2"
                    "</MAJOR-VERSION><EVENTS><VARIABLE-DATA-PROTOTYPE><SHORT-NAME>status"
                    "</SHORT-NAME>" +
                        Reference("TYPE-TREF", "IMPLEMENTATION-DATA-TYPE", "/Vendor/Types/Status") +
                        "</VARIABLE-DATA-PROTOTYPE></EVENTS><FIELDS><FIELD><SHORT-NAME>wheels"
                        "</SHORT-NAME><TYPE-TREF DEST=\"APPLICATION-ARRAY-DATA-TYPE\">"
                        "/Vendor/Types/Wheels</TYPE-TREF></FIELD></FIELDS><METHODS>"
                        "<CLIENT-SERVER-OPERATION><SHORT-NAME>apply</SHORT-NAME><ARGUMENTS>"
                        "<ARGUMENT-DATA-PROTOTYPE><SHORT-NAME>torque</SHORT-NAME>" +
                        Reference("TYPE-TREF", "IMPLEMENTATION-DATA-TYPE", "/Vendor/Types/Torque") +
                        "<DIRECTION>IN</DIRECTION></ARGUMENT-DATA-PROTOTYPE>"
                        "</ARGUMENTS><FIRE-AND-FORGET>true</FIRE-AND-FORGET>"
                        "</CLIENT-SERVER-OPERATION></METHODS></SERVICE-INTERFACE>")));

const std::string kBrakeDeployment = Document(Package(
    "Deploy",
    "<SOMEIP-SERVICE-INTERFACE-DEPLOYMENT><SHORT-NAME>BrakeSomeIp</SHORT-NAME>" +
        Reference("SERVICE-INTERFACE-REF", "SERVICE-INTERFACE", "/Vendor/Interfaces/Brake") +
        "<SERVICE-INTERFACE-ID>0x1234</SERVICE-INTERFACE-ID><EVENT-DEPLOYMENTS>"
        "<SOMEIP-EVENT-DEPLOYMENT><SHORT-NAME>status</SHORT-NAME>" +
        Reference("EVENT-REF", "VARIABLE-DATA-PROTOTYPE", "/Vendor/Interfaces/Brake/status") +
        "<EVENT-ID>0x8001</EVENT-ID><TRANSPORT-PROTOCOL>UDP</TRANSPORT-PROTOCOL>"
        "</SOMEIP-EVENT-DEPLOYMENT></EVENT-DEPLOYMENTS><METHOD-DEPLOYMENTS>"
        "<SOMEIP-METHOD-DEPLOYMENT><SHORT-NAME>apply</SHORT-NAME>" +
        Reference("METHOD-REF", "CLIENT-SERVER-OPERATION", "/Vendor/Interfaces/Brake/apply") +
        "<METHOD-ID>7</METHOD-ID></SOMEIP-METHOD-DEPLOYMENT></METHOD-DEPLOYMENTS>"
        "<FIELD-DEPLOYMENTS><SOMEIP-FIELD-DEPLOYMENT><SHORT-NAME>wheels</SHORT-NAME>" +
        Reference("FIELD-REF", "FIELD", "/Vendor/Interfaces/Brake/wheels") +
        "<GET><SHORT-NAME>g</SHORT-NAME><METHOD-ID>8</METHOD-ID></GET><NOTIFIER><SHORT-NAME>n"
        "</SHORT-NAME><EVENT-ID>0x8002</EVENT-ID></NOTIFIER></SOMEIP-FIELD-DEPLOYMENT>"
        "</FIELD-DEPLOYMENTS><EVENT-GROUPS><SOMEIP-EVENT-GROUP><SHORT-NAME>all</SHORT-NAME>"
        "<EVENT-GROUP-ID>1</EVENT-GROUP-ID><EVENT-REFS>" +
        Reference("EVENT-REF", "SOMEIP-EVENT-DEPLOYMENT", "/Deploy/BrakeSomeIp/status") +
        "</EVENT-REFS></SOMEIP-EVENT-GROUP></EVENT-GROUPS></SOMEIP-SERVICE-INTERFACE-DEPLOYMENT>"
        "<PROVIDED-SOMEIP-SERVICE-INSTANCE><SHORT-NAME>BrakeServer</SHORT-NAME>" +
        Reference("SERVICE-INTERFACE-DEPLOYMENT-REF", "SOMEIP-SERVICE-INTERFACE-DEPLOYMENT",
                  "/Deploy/BrakeSomeIp") +
        "<SERVICE-INSTANCE-ID>3</SERVICE-INSTANCE-ID><SD-SERVER-CONFIG><INITIAL-OFFER-BEHAVIOR>"
        "<INITIAL-DELAY-MAX-VALUE>0.2</INITIAL-DELAY-MAX-VALUE></INITIAL-OFFER-BEHAVIOR>"
        "<SERVICE-OFFER-TIME-TO-LIVE>5</SERVICE-OFFER-TIME-TO-LIVE></SD-SERVER-CONFIG>"
        "</PROVIDED-SOMEIP-SERVICE-INSTANCE>"
        "<MACHINE><SHORT-NAME>BrakeEcu</SHORT-NAME><COMMUNICATION-CONNECTORS>"
        "<ETHERNET-COMMUNICATION-CONNECTOR><SHORT-NAME>eth0</SHORT-NAME>"
        "</ETHERNET-COMMUNICATION-CONNECTOR></COMMUNICATION-CONNECTORS></MACHINE>"
        "<SOMEIP-SERVICE-INSTANCE-TO-MACHINE-MAPPING><SHORT-NAME>map</SHORT-NAME>" +
        Reference("COMMUNICATION-CONNECTOR-REF", "ETHERNET-COMMUNICATION-CONNECTOR",
                  "/Deploy/BrakeEcu/eth0") +
        "<SERVICE-INSTANCE-REFS>" +
        Reference("SERVICE-INSTANCE-REF", "PROVIDED-SOMEIP-SERVICE-INSTANCE",
                  "/Deploy/BrakeServer") +
        "</SERVICE-INSTANCE-REFS></SOMEIP-SERVICE-INSTANCE-TO-MACHINE-MAPPING>"));

TEST(SomeIpWholeDocument, JoinsInterfaceDeploymentInstanceAndMachineAcrossFiles) {
    auto db = LoadWholeTexts({kBrakeDeployment, kBrakeInterface});
    EXPECT_EQ(ReadCounts(*db), (Counts{{1, 1, 1, 1, 1, 1, 1, 8}}));
    ASSERT_EQ(db->GetSomeIpServiceCount(), 1u) << db->GetMessages();
    ISomeIpService* brake = db->GetSomeIpService(0);
    QM_EXPECT_FIELDS(*brake, (GetName(), "Brake"), (GetServiceId(), 0x1234),
                     (GetMajorVersion(), 2));
    ISomeIpMethod* apply = brake->GetMethod(0);
    QM_EXPECT_FIELDS(*apply, (GetId(), 7), (IsFireAndForget(), true));
    // Torque's base type names no primitive: its encoding and size give one.
    EXPECT_STREQ(apply->GetArgumentType(0)->GetElementType()->GetCppType(), "std::int32_t");
    ISomeIpEvent* status = brake->GetEvent(0);
    EXPECT_EQ(status->GetId(), 0x8001);
    ISomeIpType* type = status->GetType();
    ASSERT_EQ(type->GetKind(), kSomeIpTypeStructure);
    ASSERT_EQ(type->GetMemberCount(), 3u);
    ISomeIpType* alias = type->GetMemberType(0);
    EXPECT_EQ(alias->GetKind(), kSomeIpTypeAlias);
    EXPECT_STREQ(alias->GetElementType()->GetElementType()->GetCppType(), "std::uint16_t");
    ISomeIpType* mode = type->GetMemberType(1);
    ASSERT_EQ(mode->GetKind(), kSomeIpTypeEnumeration);
    QM_EXPECT_FIELDS(*mode, (GetEnumeratorName(1), "class"), (GetEnumeratorValue(1), 16));
    ISomeIpType* history = type->GetMemberType(2);
    EXPECT_EQ(history->GetKind(), kSomeIpTypeArray);
    EXPECT_EQ(history->GetArraySize(), 4u);
    ISomeIpField* wheels = brake->GetField(0);
    QM_EXPECT_FIELDS(*wheels, (GetGetterId(), 8), (GetSetterId(), -1), (GetNotifierId(), 0x8002));
    EXPECT_EQ(wheels->GetType()->GetKind(), kSomeIpTypeArray);
    EXPECT_STREQ(brake->GetEventGroup(0)->GetEventName(0), "status");
    ISomeIpInstance* server = brake->GetInstance(0);
    QM_EXPECT_FIELDS(*server, (GetInstanceId(), 3), (GetInitialDelayMax(), 0.2),
                     (GetTimeToLive(), 5u));
    ASSERT_EQ(server->GetProviderCount(), 1u);
    QM_EXPECT_FIELDS(*server, (GetProviderName(0), "BrakeEcu"), (GetProviderKind(0), "machine"));
    EXPECT_EQ(CompileErrors(db->GenerateServicesHeader(nullptr)), "");
}

// Element names with a prefix bound to the AUTOSAR namespace read as without it.
TEST(SomeIpWholeDocument, ElementsWithANamespacePrefixReadAsWithout) {
    using qmtest::WithAutosarPrefix;
    auto expected = LoadWholeTexts({kBrakeDeployment, kBrakeInterface});
    auto db =
        LoadWholeTexts({WithAutosarPrefix(kBrakeDeployment), WithAutosarPrefix(kBrakeInterface)});
    EXPECT_EQ(ReadCounts(*db), ReadCounts(*expected));
    ASSERT_EQ(db->GetSomeIpServiceCount(), 1u) << db->GetMessages();
    EXPECT_STREQ(db->GetSomeIpService(0)->GetName(), "Brake");
    const std::string header = db->GenerateServicesHeader(nullptr);
    EXPECT_EQ(header, expected->GenerateServicesHeader(nullptr));
}

TEST(SomeIpWholeDocument, ReadsClassicInstancesOfEthernetClusters) {
    auto instance = [](const char* kind, const char* name, const char* groups) {
        return std::string("<") + kind + "><SHORT-NAME>" + name +
               "</SHORT-NAME><SERVICE-IDENTIFIER>300</SERVICE-IDENTIFIER><INSTANCE-IDENTIFIER>1"
               "</INSTANCE-IDENTIFIER><MAJOR-VERSION>1</MAJOR-VERSION>" +
               groups + "</" + kind + ">";
    };
    auto socket = [](const char* name, const char* ecu, const std::string& endpoint) {
        return std::string("<SOCKET-ADDRESS><SHORT-NAME>") + name + "</SHORT-NAME>" +
               Reference("CONNECTOR-REF", "ETHERNET-COMMUNICATION-CONNECTOR",
                         std::string("/Ecus/") + ecu + "/conn") +
               "<APPLICATION-ENDPOINT><SHORT-NAME>ep</SHORT-NAME>" + endpoint +
               "</APPLICATION-ENDPOINT></SOCKET-ADDRESS>";
    };
    auto ecu = [](const char* name) {
        return std::string("<ECU-INSTANCE><SHORT-NAME>") + name +
               "</SHORT-NAME><CONNECTORS><ETHERNET-COMMUNICATION-CONNECTOR><SHORT-NAME>conn"
               "</SHORT-NAME></ETHERNET-COMMUNICATION-CONNECTOR></CONNECTORS></ECU-INSTANCE>";
    };
    const std::string provided = instance(
        "PROVIDED-SERVICE-INSTANCE", "Lights",
        "<EVENT-HANDLERS><EVENT-HANDLER><SHORT-NAME>lamps</SHORT-NAME><EVENT-GROUP-IDENTIFIER>5"
        "</EVENT-GROUP-IDENTIFIER></EVENT-HANDLER></EVENT-HANDLERS><SD-SERVER-CONFIG>"
        "<OFFER-CYCLIC-DELAY>1.5</OFFER-CYCLIC-DELAY></SD-SERVER-CONFIG>");
    const std::string consumed =
        instance("CONSUMED-SERVICE-INSTANCE", "LightsUser",
                 "<CONSUMED-EVENT-GROUPS><CONSUMED-EVENT-GROUP><SHORT-NAME>lampsIn</SHORT-NAME>"
                 "<EVENT-GROUP-IDENTIFIER>5</EVENT-GROUP-IDENTIFIER></CONSUMED-EVENT-GROUP>"
                 "</CONSUMED-EVENT-GROUPS>");
    auto db = LoadWholeTexts({Document(
        Package("Ecus", ecu("Body") + ecu("Dash")) +
        Package("Net",
                "<ETHERNET-CLUSTER><SHORT-NAME>Eth</SHORT-NAME><ETHERNET-CLUSTER-VARIANTS>"
                "<ETHERNET-CLUSTER-CONDITIONAL><PHYSICAL-CHANNELS><ETHERNET-PHYSICAL-CHANNEL>"
                "<SHORT-NAME>ch</SHORT-NAME><SO-AD-CONFIG><SOCKET-ADDRESSS>" +
                    socket("server", "Body",
                           "<PROVIDED-SERVICE-INSTANCES>" + provided +
                               "</PROVIDED-SERVICE-INSTANCES>") +
                    socket("client", "Dash",
                           "<CONSUMED-SERVICE-INSTANCES>" + consumed +
                               "</CONSUMED-SERVICE-INSTANCES>") +
                    "</SOCKET-ADDRESSS></SO-AD-CONFIG></ETHERNET-PHYSICAL-CHANNEL>"
                    "</PHYSICAL-CHANNELS></ETHERNET-CLUSTER-CONDITIONAL>"
                    "</ETHERNET-CLUSTER-VARIANTS></ETHERNET-CLUSTER>"))});
    EXPECT_EQ(ReadCounts(*db).values[kSomeIpCountServiceInstances], 2u);
    ASSERT_EQ(db->GetSomeIpServiceCount(), 1u);
    ISomeIpService* lights = db->GetSomeIpService(0);
    QM_EXPECT_FIELDS(*lights, (GetPlatform(), "classic"), (GetServiceId(), 300));
    ASSERT_EQ(lights->GetEventGroupCount(), 1u);  // the handler and the consumer share id 5
    EXPECT_EQ(lights->GetEventGroup(0)->GetId(), 5);
    ASSERT_EQ(lights->GetInstanceCount(), 2u);
    QM_EXPECT_FIELDS(*lights->GetInstance(0), (GetProviderName(0), "Body"),
                     (GetProviderKind(0), "ecu"), (GetCyclicDelay(), 1.5));
    EXPECT_STREQ(lights->GetInstance(1)->GetProviderName(0), "Dash");
    EXPECT_STREQ(lights->GetInstance(1)->GetRoleText(), "required");
}

// Bad input: each document gives its message and a model; the header of all of them read
// together still compiles.
struct BadInput {
    const char* what;
    std::string document;
    const char* message;
};

std::vector<BadInput> BadInputs() {
    const std::string deployment = [] {
        return std::string(
            "<SOMEIP-SERVICE-INTERFACE-DEPLOYMENT><SHORT-NAME>Dup</SHORT-NAME>"
            "<SERVICE-INTERFACE-ID>70000</SERVICE-INTERFACE-ID><METHOD-DEPLOYMENTS>"
            "<SOMEIP-METHOD-DEPLOYMENT><SHORT-NAME>a</SHORT-NAME><METHOD-ID>1"
            "</METHOD-ID></SOMEIP-METHOD-DEPLOYMENT><SOMEIP-METHOD-DEPLOYMENT>"
            "<SHORT-NAME>b</SHORT-NAME><METHOD-ID>1</METHOD-ID>"
            "</SOMEIP-METHOD-DEPLOYMENT><SOMEIP-METHOD-DEPLOYMENT><SHORT-NAME>c"
            "</SHORT-NAME><METHOD-ID>abc</METHOD-ID></SOMEIP-METHOD-DEPLOYMENT>"
            "</METHOD-DEPLOYMENTS></SOMEIP-SERVICE-INTERFACE-DEPLOYMENT>");
    }();
    return {
        {"type chain that loops",
         Document(Package("L", Alias("A", "/L/B") + Alias("B", "/L/A") + Alias("C", "/L/A"))),
         "Data type: A not read: its type references form a loop."},
        {"structure that contains itself",
         Document(Package(
             "S", Structure("Node", Member("next", "/S/Node") + Member("data", "/S/Value")) +
                      Alias("Value", "/S/Node"))),
         "Structure: Node contains itself through member: next."},
        {"instance whose deployment is missing",
         Document(Package("I", "<REQUIRED-SOMEIP-SERVICE-INSTANCE><SHORT-NAME>Lost</SHORT-NAME>" +
                                   Reference("SERVICE-INTERFACE-DEPLOYMENT-REF",
                                             "SOMEIP-SERVICE-INTERFACE-DEPLOYMENT", "/Gone/Away") +
                                   "<REQUIRED-SERVICE-INSTANCE-ID>1</REQUIRED-SERVICE-INSTANCE-ID>"
                                   "</REQUIRED-SOMEIP-SERVICE-INSTANCE>")),
         "SERVICE-INTERFACE-DEPLOYMENT-REF of REQUIRED-SOMEIP-SERVICE-INSTANCE Lost not resolved: "
         "/Gone/Away."},
        {"id out of range", Document(Package("D", deployment)),
         "WARNING. Value 70000 of SERVICE-INTERFACE-ID is out of range for service: Dup."},
        {"id that is no number", Document(Package("D", deployment)),
         "WARNING. Value abc of METHOD-ID is out of range for service: Dup."},
        {"duplicate ids", Document(Package("D", deployment)),
         "WARNING. Id 1 is used twice in service Dup: a and b."},
        {"element the model cannot hold",
         Document(Package("X",
                          "<DDS-SERVICE-INTERFACE-DEPLOYMENT><SHORT-NAME>Dds</SHORT-NAME>"
                          "</DDS-SERVICE-INTERFACE-DEPLOYMENT>")),
         "DDS-SERVICE-INTERFACE-DEPLOYMENT not read: Dds."},
    };
}

TEST(SomeIpWholeDocument, BadInputGivesAMessageAndAModel) {
    std::vector<std::string> all;
    for (const BadInput& input : BadInputs()) {
        SCOPED_TRACE(input.what);
        auto db = LoadWholeTexts({input.document});
        EXPECT_NE(std::string(db->GetMessages()).find(std::string(input.message) + "\r\n"),
                  std::string::npos)
            << db->GetMessages();
        all.push_back(input.document);
    }
    auto db = LoadWholeTexts(all);
    // The lost instance still gives its service, named after the missing deployment.
    ISomeIpService* lost = db->FindSomeIpService("Away");
    ASSERT_NE(lost, nullptr);
    EXPECT_EQ(lost->GetInstance(0)->GetInstanceId(), 1);
    ISomeIpService* dup = db->FindSomeIpService("Dup");
    ASSERT_NE(dup, nullptr);
    EXPECT_EQ(dup->GetServiceId(), -1);
    EXPECT_EQ(dup->GetMethod(2)->GetId(), -1);
    EXPECT_EQ(CompileErrors(db->GenerateServicesHeader(nullptr)), "");
}

TEST(SomeIpWholeDocument, HeaderIdentifiersAreValidCpp) {
    EXPECT_EQ(qm::someip::CppIdentifier("class"), "class_");
    EXPECT_EQ(qm::someip::CppIdentifier("3d-view"), "n3d_view");
    EXPECT_EQ(qm::someip::CppIdentifier("a__b"), "a_b");
    EXPECT_EQ(qm::someip::CppIdentifier("INT8_MAX"), "INT8_MAX_");
    EXPECT_EQ(qm::someip::CppIdentifier(""), "unnamed");
}

TEST(SomeIpWholeDocument, TheModeIsSwitchedPerDatabase) {
    CArxmlDatabase db;
    IArxmlDatabase& described = db;
    auto* options = dynamic_cast<IArxmlDatabaseOptions*>(&described);
    ASSERT_NE(options, nullptr);
    EXPECT_EQ(options->GetReadingMode(), kSomeIpReadExact);
    EXPECT_FALSE(options->SetReadingMode(7));
    EXPECT_TRUE(options->SetReadingMode(kSomeIpReadWholeDocument));
    db.Clear();
    EXPECT_EQ(options->GetReadingMode(), kSomeIpReadWholeDocument);
    EXPECT_EQ(options->GetReadCount(99), 0u);
}

}  // namespace
}  // namespace document
