// Reference resolution of the three dialects on small hand-built trees.
#include "xml/reference_resolver.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

namespace {

using qm::xml::ArxmlReferenceResolver;
using qm::xml::CddReferenceResolver;
using qm::xml::OdxReferenceResolver;

NanoXML* Add(NanoXML* parent, const char* name, const char* text = "") {
    return parent->AddChild(name, text, 0);
}

// An identifiable element with its SHORT-NAME as first child.
NanoXML* AddNamed(NanoXML* parent, const char* name, const char* shortName) {
    NanoXML* element = Add(parent, name);
    Add(element, "SHORT-NAME", shortName);
    return element;
}

NanoXML* AddReference(NanoXML* parent, const char* name, const char* dest, const char* path) {
    NanoXML* reference = Add(parent, name, path);
    reference->SetAttribute("DEST", dest);
    return reference;
}

// A package /<name> holding one ELEMENTS list.
NanoXML* AddPackage(NanoXML* packages, const char* name) {
    NanoXML* package = AddNamed(packages, "AR-PACKAGE", name);
    return Add(package, "ELEMENTS");
}

class ArxmlResolution : public ::testing::Test {
  protected:
    void SetUp() override {
        NanoXML::ClearMessageLog();
        root_ = std::make_unique<NanoXML>();
        root_->name = "AUTOSAR";
        packages_ = Add(root_.get(), "AR-PACKAGES");
    }

    std::unique_ptr<NanoXML> root_;
    NanoXML* packages_ = nullptr;
};

TEST_F(ArxmlResolution, LinksReferenceToTheElementOfItsShortNameAndType) {
    NanoXML* signal = AddNamed(AddPackage(packages_, "Signals"), "I-SIGNAL", "Speed");
    NanoXML* users = AddPackage(packages_, "Pdus");
    NanoXML* reference = AddReference(users, "I-SIGNAL-REF", "I-SIGNAL", "/Signals/Speed");
    NanoXML* typeReference = AddReference(users, "TYPE-TREF", "I-SIGNAL", "/Signals/Speed");
    NanoXML* instanceReference = AddReference(users, "TARGET-IREF", "I-SIGNAL", "/Signals/Speed");

    ArxmlReferenceResolver resolver;
    resolver.CollectTree(root_.get());
    EXPECT_EQ(resolver.PendingCount(), 3u);
    resolver.Resolve(root_.get(), 1);

    EXPECT_EQ(reference->link, signal);
    EXPECT_EQ(typeReference->link, signal);
    EXPECT_EQ(instanceReference->link, signal);
    EXPECT_TRUE(resolver.Unresolved().empty());
    EXPECT_EQ(NanoXML::MessageLog(), "");
}

TEST_F(ArxmlResolution, ReportsAnUnresolvableReferenceOnceByItsText) {
    AddNamed(AddPackage(packages_, "A"), "I-SIGNAL", "B");
    NanoXML* users = AddPackage(packages_, "Users");
    NanoXML* missing = AddReference(users, "FRAME-REF", "CAN-FRAME", "/A/B");  // wrong type
    NanoXML* noDest = Add(users, "OTHER-REF", "/A/B");                         // not a reference

    ArxmlReferenceResolver resolver;
    resolver.CollectTree(root_.get());
    resolver.Resolve(root_.get(), 2);

    EXPECT_EQ(missing->link, nullptr);
    EXPECT_EQ(missing->flags & NanoXML::kFlagUnresolved, NanoXML::kFlagUnresolved);
    EXPECT_EQ(noDest->flags, 0);
    ASSERT_EQ(resolver.Unresolved().size(), 1u);
    EXPECT_EQ(resolver.Unresolved()[0], missing);
    EXPECT_EQ(NanoXML::MessageLog(), "Unresolved reference of: \"/A/B\"\r\n");
}

TEST_F(ArxmlResolution, AmbiguousShortNamesPreferTheElementAtTheReferencedPath) {
    // The same short name and type in three packages, the middle one nested.
    NanoXML* first = AddNamed(AddPackage(packages_, "FrameA"), "I-SIGNAL", "Crc");
    NanoXML* outer = AddNamed(packages_, "AR-PACKAGE", "Outer");
    NanoXML* inner = AddNamed(Add(outer, "AR-PACKAGES"), "AR-PACKAGE", "FrameB");
    NanoXML* second = AddNamed(Add(inner, "ELEMENTS"), "I-SIGNAL", "Crc");
    NanoXML* third = AddNamed(AddPackage(packages_, "FrameC"), "I-SIGNAL", "Crc");

    NanoXML* users = AddPackage(packages_, "Users");
    NanoXML* toThird = AddReference(users, "I-SIGNAL-REF", "I-SIGNAL", "/FrameC/Crc");
    NanoXML* toSecond = AddReference(users, "I-SIGNAL-REF", "I-SIGNAL", "/Outer/FrameB/Crc");
    NanoXML* toFirst = AddReference(users, "I-SIGNAL-REF", "I-SIGNAL", "/FrameA/Crc");
    NanoXML* partial = AddReference(users, "I-SIGNAL-REF", "I-SIGNAL", "/FrameB/Crc");
    NanoXML* relative = AddReference(users, "I-SIGNAL-REF", "I-SIGNAL", "FrameB/Crc");

    for (unsigned workers : {1u, 2u, 3u, 8u}) {
        ArxmlReferenceResolver resolver;
        resolver.CollectTree(root_.get());
        resolver.Resolve(root_.get(), workers);
        EXPECT_EQ(toThird->link, third) << workers;
        EXPECT_EQ(toSecond->link, second) << workers;
        EXPECT_EQ(toFirst->link, first) << workers;
        // No package path matches: the first element in document order.
        EXPECT_EQ(partial->link, first) << workers;
        // A relative path matches on the innermost names.
        EXPECT_EQ(relative->link, second) << workers;
    }
}

TEST_F(ArxmlResolution, ManyNamesakesOfTwoTypesAtTheSamePaths) {
    // Every package holds an I-signal and a system signal "X": the paths are shared by the two
    // types, and each key has thousands of namesakes.
    constexpr int kPackages = 5000;
    std::vector<NanoXML*> iSignals;
    std::vector<NanoXML*> systemSignals;
    for (int i = 0; i < kPackages; ++i) {
        NanoXML* elements = AddPackage(packages_, ("P" + std::to_string(i)).c_str());
        systemSignals.push_back(AddNamed(elements, "SYSTEM-SIGNAL", "X"));
        iSignals.push_back(AddNamed(elements, "I-SIGNAL", "X"));
    }
    NanoXML* users = AddPackage(packages_, "Users");
    std::vector<NanoXML*> toI;
    std::vector<NanoXML*> toSystem;
    for (int i = kPackages - 1; i >= 0; --i) {
        const std::string path = "/P" + std::to_string(i) + "/X";
        toI.push_back(AddReference(users, "I-SIGNAL-REF", "I-SIGNAL", path.c_str()));
        toSystem.push_back(AddReference(users, "SYSTEM-SIGNAL-REF", "SYSTEM-SIGNAL", path.c_str()));
    }
    ArxmlReferenceResolver resolver;
    resolver.CollectTree(root_.get());
    resolver.Resolve(root_.get(), 2);
    for (int i = 0; i < kPackages; ++i) {
        ASSERT_EQ(toI[i]->link, iSignals[kPackages - 1 - i]) << i;
        ASSERT_EQ(toSystem[i]->link, systemSignals[kPackages - 1 - i]) << i;
    }
    EXPECT_EQ(NanoXML::MessageLog(), "");
}

TEST_F(ArxmlResolution, ReportOrderDoesNotDependOnTheWorkers) {
    NanoXML* users = AddPackage(packages_, "Users");
    std::string expected;
    for (int i = 0; i < 200; ++i) {
        const std::string path = "/Nowhere/S" + std::to_string(i);
        AddReference(users, "I-SIGNAL-REF", "I-SIGNAL", path.c_str());
        expected += "Unresolved reference of: \"" + path + "\"\r\n";
    }
    for (unsigned workers : {1u, 2u, 4u, 7u}) {
        NanoXML::ClearMessageLog();
        ArxmlReferenceResolver resolver;
        resolver.CollectTree(root_.get());
        resolver.Resolve(root_.get(), workers);
        EXPECT_EQ(NanoXML::MessageLog(), expected) << workers;
        ASSERT_EQ(resolver.Unresolved().size(), 200u);
        EXPECT_EQ(resolver.Unresolved().front()->GetText(), "/Nowhere/S0");
    }
}

TEST_F(ArxmlResolution, CollectsThroughTheReaderCallbackInCompletionOrder) {
    ArxmlReferenceResolver resolver;
    root_->onChildParsed = resolver.MakeCallback();
    NanoXML* signal = AddNamed(AddPackage(packages_, "P"), "I-SIGNAL", "S");
    NanoXML* reference = AddReference(packages_, "I-SIGNAL-REF", "I-SIGNAL", "/P/S");
    // The reader calls the callback for each completed element; here by hand.
    for (NanoXML* node : {signal->children[0], signal, reference}) (*root_->onChildParsed)(node);
    EXPECT_EQ(resolver.TargetCount(), 1u);
    resolver.Resolve(root_.get(), 0);
    EXPECT_EQ(reference->link, signal);
}

// ---------------------------------------------------------------------------------------------

TEST(OdxDocumentName, IsTheShortNameOfTheNearestLayer) {
    NanoXML root;
    root.name = "ODX";
    NanoXML* layer = AddNamed(&root, "ECU-VARIANT", "Engine");
    NanoXML* deep = Add(Add(layer, "DIAG-COMMS"), "DIAG-SERVICE");
    EXPECT_EQ(OdxReferenceResolver::DocumentName(deep), "Engine");
    EXPECT_EQ(OdxReferenceResolver::DocumentName(layer), "Engine");
    EXPECT_EQ(OdxReferenceResolver::DocumentName(&root), "");
}

// ---------------------------------------------------------------------------------------------

TEST(CddResolution, ResolvesIdReferencesAndReportsToItsOwnText) {
    NanoXML::ClearMessageLog();
    NanoXML root;
    root.name = "CANDELA";
    NanoXML* target = Add(&root, "DATATYPE");
    target->SetAttribute("id", "_01");
    NanoXML* good = Add(&root, "DATAOBJ");
    good->SetAttribute("idref", "_01");
    NanoXML* bad = Add(&root, "DATAOBJ");
    bad->SetAttribute("idref", "_99");

    CddReferenceResolver resolver;
    resolver.CollectTree(&root);
    resolver.Resolve(&root, 2);

    EXPECT_EQ(good->link, target);
    EXPECT_EQ(good->flags & 3, NanoXML::kFlagReference);
    EXPECT_EQ(bad->flags & 3, NanoXML::kFlagReference | NanoXML::kFlagUnresolved);
    EXPECT_EQ(resolver.Messages(), "Unresolved REF: \"DATAOBJ\" ID=\"_99\"\r\n");
    EXPECT_EQ(NanoXML::MessageLog(), "");
}

TEST(WorkerPlan, HardwareThreadsLessOneAndAtLeastOne) {
    EXPECT_EQ(qm::xml::WorkerCountFor(0), 1u);  // the runtime cannot tell
    EXPECT_EQ(qm::xml::WorkerCountFor(1), 1u);
    EXPECT_EQ(qm::xml::WorkerCountFor(2), 1u);
    EXPECT_EQ(qm::xml::WorkerCountFor(16), 15u);
}

}  // namespace
