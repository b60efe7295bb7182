#include "dbc_test_support.h"

#include <cmath>

namespace dbctest {

using namespace qm::dbc;

namespace {

void ExpectSameNumber(const DbcNumber& a, const DbcNumber& b, const std::string& where) {
    if (std::isnan(a.value) || std::isnan(b.value)) {
        EXPECT_TRUE(std::isnan(a.value) && std::isnan(b.value)) << where;
    } else {
        EXPECT_EQ(a.value, b.value) << where;
    }
    EXPECT_EQ(a.decimals, b.decimals) << where;
    EXPECT_EQ(a.exponent, b.exponent) << where;
}

void ExpectSameAttributes(const DbcAttributeList& a, const DbcAttributeList& b,
                          const std::string& where) {
    ASSERT_EQ(a.Count(), b.Count()) << where;
    for (uint64_t i = 0; i < a.Count(); ++i) {
        EXPECT_EQ(a.At(i)->Name(), b.At(i)->Name()) << where;
        EXPECT_EQ(a.At(i)->Value(), b.At(i)->Value()) << where << " " << a.At(i)->Name();
        EXPECT_EQ(a.At(i)->RelationKind(), b.At(i)->RelationKind()) << where;
    }
}

void ExpectSameDescriptions(const DbcValueDescriptions& a, const DbcValueDescriptions& b,
                            const std::string& where) {
    EXPECT_EQ(a.Entries(), b.Entries()) << where;
}

std::vector<std::string> NamesOf(const std::vector<DbcNode*>& nodes) {
    std::vector<std::string> names;
    for (const DbcNode* node : nodes) names.push_back(node->Name());
    return names;
}

void ExpectSameSignal(const DbcSignal& a, const DbcSignal& b, const std::string& where) {
    EXPECT_EQ(a.Name(), b.Name()) << where;
    EXPECT_EQ(a.MultiplexingKind(), b.MultiplexingKind()) << where;
    EXPECT_EQ(a.MultiplexValue(), b.MultiplexValue()) << where;
    EXPECT_EQ(a.StartBit(), b.StartBit()) << where;
    EXPECT_EQ(a.BitLength(), b.BitLength()) << where;
    EXPECT_EQ(a.ByteOrderChar(), b.ByteOrderChar()) << where;
    EXPECT_EQ(a.ValueTypeChar(), b.ValueTypeChar()) << where;
    ExpectSameNumber(a.Factor(), b.Factor(), where + " factor");
    ExpectSameNumber(a.Offset(), b.Offset(), where + " offset");
    ExpectSameNumber(a.Minimum(), b.Minimum(), where + " minimum");
    ExpectSameNumber(a.Maximum(), b.Maximum(), where + " maximum");
    EXPECT_EQ(a.Unit(), b.Unit()) << where;
    EXPECT_EQ(NamesOf(a.Receivers()), NamesOf(b.Receivers())) << where;
    EXPECT_EQ(a.Comment(), b.Comment()) << where;
    ExpectSameDescriptions(a.ValueDescriptions(), b.ValueDescriptions(), where);
    ExpectSameAttributes(a.Attributes(), b.Attributes(), where);
    EXPECT_EQ(a.ExtendedValueTypeGiven(), b.ExtendedValueTypeGiven()) << where;
    EXPECT_EQ(a.ExtendedValueType(), b.ExtendedValueType()) << where;
    EXPECT_EQ(a.Described(), b.Described()) << where;
}

// A message without transmitter is written with "Vector__XXX"; when the file defines a node of
// that very name, the transmitter comes back as that node.
std::string TransmitterName(const DbcMessage& message) {
    return message.Transmitter() ? message.Transmitter()->Name() : "Vector__XXX";
}

std::vector<std::string> TransmitterNames(const DbcMessage& message) {
    std::vector<std::string> names = NamesOf(message.Transmitters());
    if (!message.Transmitter()) names.insert(names.begin(), "Vector__XXX");
    if (!names.empty() && names.front() == "Vector__XXX") names.erase(names.begin());
    return names;
}

void ExpectSameMessage(const DbcMessage& a, const DbcMessage& b) {
    const std::string where = "message " + a.Name();
    EXPECT_EQ(a.RawId(), b.RawId()) << where;
    EXPECT_EQ(a.Name(), b.Name()) << where;
    EXPECT_EQ(a.Size(), b.Size()) << where;
    EXPECT_EQ(TransmitterName(a), TransmitterName(b)) << where;
    EXPECT_EQ(TransmitterNames(a), TransmitterNames(b)) << where;
    EXPECT_EQ(a.Comment(), b.Comment()) << where;
    ExpectSameAttributes(a.Attributes(), b.Attributes(), where);
    ASSERT_EQ(a.Signals().size(), b.Signals().size()) << where;
    for (size_t i = 0; i < a.Signals().size(); ++i) {
        ExpectSameSignal(*a.Signals()[i], *b.Signals()[i],
                         where + " signal " + a.Signals()[i]->Name());
    }
    ASSERT_EQ(a.SignalGroups().size(), b.SignalGroups().size()) << where;
    for (size_t i = 0; i < a.SignalGroups().size(); ++i) {
        const auto& ga = *a.SignalGroups()[i];
        const auto& gb = *b.SignalGroups()[i];
        EXPECT_EQ(ga.Name(), gb.Name()) << where;
        EXPECT_EQ(ga.Repetitions(), gb.Repetitions()) << where;
        ASSERT_EQ(ga.Signals().size(), gb.Signals().size()) << where;
        for (size_t k = 0; k < ga.Signals().size(); ++k) {
            EXPECT_EQ(ga.Signals()[k]->Name(), gb.Signals()[k]->Name()) << where;
        }
    }
}

}  // namespace

void ExpectSameModel(const NetConfigDbcFile& a, const NetConfigDbcFile& b) {
    EXPECT_EQ(a.Version(), b.Version());
    EXPECT_EQ(a.NewSymbols(), b.NewSymbols());
    EXPECT_EQ(a.NetworkComment(), b.NetworkComment());
    ASSERT_EQ(a.Nodes().size(), b.Nodes().size());
    for (size_t i = 0; i < a.Nodes().size(); ++i) {
        EXPECT_EQ(a.Nodes()[i]->Name(), b.Nodes()[i]->Name());
        EXPECT_EQ(a.Nodes()[i]->Comment(), b.Nodes()[i]->Comment());
        ExpectSameAttributes(a.Nodes()[i]->Attributes(), b.Nodes()[i]->Attributes(),
                             "node " + a.Nodes()[i]->Name());
    }
    ASSERT_EQ(a.ValueTables().size(), b.ValueTables().size());
    for (size_t i = 0; i < a.ValueTables().size(); ++i) {
        EXPECT_EQ(a.ValueTables()[i]->Name(), b.ValueTables()[i]->Name());
        EXPECT_EQ(a.ValueTables()[i]->Values(), b.ValueTables()[i]->Values());
    }
    ASSERT_EQ(a.Messages().size(), b.Messages().size());
    for (size_t i = 0; i < a.Messages().size(); ++i)
        ExpectSameMessage(*a.Messages()[i], *b.Messages()[i]);
    ASSERT_EQ(a.Variables().size(), b.Variables().size());
    for (size_t i = 0; i < a.Variables().size(); ++i) {
        const auto& va = *a.Variables()[i];
        const auto& vb = *b.Variables()[i];
        const std::string where = "variable " + va.Name();
        EXPECT_EQ(va.Name(), vb.Name()) << where;
        EXPECT_EQ(va.Type(), vb.Type()) << where;
        EXPECT_NEAR(va.Minimum(), vb.Minimum(), 1e-6) << where;
        EXPECT_NEAR(va.Maximum(), vb.Maximum(), 1e-6) << where;
        EXPECT_EQ(va.Unit(), vb.Unit()) << where;
        EXPECT_EQ(va.Id(), vb.Id()) << where;
        EXPECT_EQ(va.AccessTypeToken(), vb.AccessTypeToken()) << where;
        EXPECT_EQ(va.AccessNodes(), vb.AccessNodes()) << where;
        EXPECT_EQ(va.DataSizeGiven(), vb.DataSizeGiven()) << where;
        EXPECT_EQ(va.DataSize(), vb.DataSize()) << where;
        EXPECT_EQ(va.Comment(), vb.Comment()) << where;
        ExpectSameDescriptions(va.ValueDescriptions(), vb.ValueDescriptions(), where);
        ExpectSameAttributes(va.Attributes(), vb.Attributes(), where);
    }
    ASSERT_EQ(a.Definitions().size(), b.Definitions().size());
    for (size_t i = 0; i < a.Definitions().size(); ++i) {
        const auto& da = *a.Definitions()[i];
        const auto& db = *b.Definitions()[i];
        EXPECT_EQ(da.Name(), db.Name());
        EXPECT_EQ(da.ObjectType(), db.ObjectType()) << da.Name();
        EXPECT_EQ(da.ValueType(), db.ValueType()) << da.Name();
        EXPECT_EQ(da.Values(), db.Values()) << da.Name();
        EXPECT_EQ(da.DefaultValue(), db.DefaultValue()) << da.Name();
    }
    ExpectSameAttributes(a.NetworkAttributes(), b.NetworkAttributes(), "network");
    EXPECT_EQ(a.AllSignals().size(), b.AllSignals().size());
}

}  // namespace dbctest
