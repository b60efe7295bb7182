#pragma once
// One comparison of two DBC models, object by object, used wherever a model is rebuilt (a DBC
// text written and read again, a container element exported and imported). The container form
// stores less than the text: the differences it forces are relaxed only in that mode, each with
// its reason.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "dbc/dbc_enums.h"
#include "dbc/netconfig_dbc_file.h"
#include "pair_compare.h"
#include "xml/text.h"

namespace dbctest {

using qmtest::ForEachPair;

enum class DbcRebuild {
    kText,       // written as DBC text and read again
    kContainer,  // exported into a "DBC" container element and imported
};

// The XML reader trims the character data of every element (blanks, tabs, CR, LF at both ends):
// texts rebuilt from the container form come back trimmed.
inline std::string Stored(const std::string& text, DbcRebuild mode) {
    return mode == DbcRebuild::kText ? text : qmtest::Trimmed(text);
}

template <class Entries>
Entries StoredEntries(Entries entries, DbcRebuild mode) {
    for (auto& entry : entries) entry.second = Stored(entry.second, mode);
    return entries;
}

// Reals of the container form are "%f" texts: six decimals.
inline void ExpectSameReal(double expected, double actual, DbcRebuild mode, const char* what) {
    if (mode == DbcRebuild::kText || !std::isfinite(expected)) {
        if (std::isnan(expected)) {
            EXPECT_TRUE(std::isnan(actual)) << what;
        } else {
            EXPECT_DOUBLE_EQ(expected, actual) << what;
        }
        return;
    }
    EXPECT_NEAR(expected, actual, 5.1e-7 + std::fabs(expected) * 1e-15) << what;
}

// Every attribute of a model as (kind, name, value, owner key), the relation attributes once.
using AttributeKey = std::tuple<int32_t, std::string, std::string, std::string>;

inline std::string RelationOwner(const qm::dbc::DbcAttribute& attribute) {
    using namespace qm::dbc;
    switch (attribute.RelationKind()) {
        case kObjectNodeTxMessage: {
            const auto& r = static_cast<const DbcNodeTxMsgRelAttribute&>(attribute);
            return r.NodeName() + "/" + std::to_string(r.MessageId());
        }
        case kObjectNodeRxSignal: {
            const auto& r = static_cast<const DbcNodeRxSigRelAttribute&>(attribute);
            return r.NodeName() + "/" + std::to_string(r.MessageId()) + "/" + r.SignalName();
        }
        case kObjectNodeEnvironmentVariable: {
            const auto& r = static_cast<const DbcNodeEnvVarRelAttribute&>(attribute);
            return r.NodeName() + "/" + r.VariableName();
        }
        default:
            return std::string();
    }
}

inline void CollectAttributes(const qm::dbc::DbcAttributeList& list, bool withRelations,
                              std::vector<AttributeKey>& out) {
    for (const qm::dbc::DbcAttribute* attribute : list.Items()) {
        if (!withRelations && attribute->RelationKind() >= 0) continue;
        out.emplace_back(attribute->RelationKind(), attribute->Name(), attribute->Value(),
                         RelationOwner(*attribute));
    }
}

inline std::vector<AttributeKey> AllAttributes(const NetConfigDbcFile& file) {
    std::vector<AttributeKey> all;
    CollectAttributes(file.NetworkAttributes(), true, all);
    for (const auto& node : file.Nodes()) CollectAttributes(node->Attributes(), true, all);
    for (const auto& message : file.Messages()) {
        CollectAttributes(message->Attributes(), false, all);
    }
    for (const qm::dbc::DbcSignal* signal : file.AllSignals()) {
        CollectAttributes(signal->Attributes(), false, all);
    }
    for (const auto& variable : file.Variables()) {
        CollectAttributes(variable->Attributes(), false, all);
    }
    return all;
}

inline std::vector<std::string> NodeNames(const std::vector<qm::dbc::DbcNode*>& nodes) {
    std::vector<std::string> names;
    for (const auto* node : nodes) names.push_back(node->Name());
    return names;
}

// A message without transmitter is written with "Vector__XXX"; when the file defines a node of
// that very name, the transmitter comes back as that node.
inline std::string TransmitterName(const qm::dbc::DbcMessage& message) {
    return message.Transmitter() ? message.Transmitter()->Name() : "Vector__XXX";
}

inline std::vector<std::string> TransmitterNames(const qm::dbc::DbcMessage& message) {
    std::vector<std::string> names = NodeNames(message.Transmitters());
    if (!message.Transmitter()) names.insert(names.begin(), "Vector__XXX");
    if (!names.empty() && names.front() == "Vector__XXX") names.erase(names.begin());
    return names;
}

// The written form of a number: its decimals and whether it had an exponent.
inline void ExpectSameForm(const qm::dbc::DbcNumber& a, const qm::dbc::DbcNumber& b,
                           const char* what) {
    SCOPED_TRACE(what);
    QM_EXPECT_SAME(a, b, decimals, exponent);
}

// The extended multiplexing ranges of a signal as (minimum, maximum) pairs.
inline std::vector<std::pair<uint64_t, uint64_t>> Ranges(const qm::dbc::DbcSignal& signal) {
    std::vector<std::pair<uint64_t, uint64_t>> ranges;
    for (const auto& range : signal.MultiplexRanges())
        ranges.emplace_back(range.minimum, range.maximum);
    return ranges;
}

inline void ExpectSameSignal(const qm::dbc::DbcSignal& a, const qm::dbc::DbcSignal& b,
                             DbcRebuild mode) {
    SCOPED_TRACE("signal " + a.Name());
    QM_EXPECT_SAME(a, b, Name(), StartBit(), BitLength(), ByteOrder(), ValueType());
    ExpectSameReal(a.Factor().value, b.Factor().value, mode, "factor");
    ExpectSameReal(a.Offset().value, b.Offset().value, mode, "offset");
    ExpectSameReal(a.Minimum().value, b.Minimum().value, mode, "minimum");
    ExpectSameReal(a.Maximum().value, b.Maximum().value, mode, "maximum");
    EXPECT_EQ(Stored(a.Unit(), mode), b.Unit());
    EXPECT_EQ(NodeNames(a.Receivers()), NodeNames(b.Receivers()));
    EXPECT_EQ(Stored(a.Comment(), mode), b.Comment());
    EXPECT_EQ(StoredEntries(a.ValueDescriptions().Entries(), mode),
              b.ValueDescriptions().Entries());
    if (mode == DbcRebuild::kText) {
        // The container form has no multiplexing, no extended value types and keeps the reals
        // as "%f" texts (the decimals come from that text), so these hold for the text only.
        QM_EXPECT_SAME(a, b, MultiplexingKind(), MultiplexValue(), ExtendedValueTypeGiven(),
                       ExtendedValueType(), Described());
        EXPECT_EQ(a.ExtendedMultiplexer() ? a.ExtendedMultiplexer()->Name().view() : "",
                  b.ExtendedMultiplexer() ? b.ExtendedMultiplexer()->Name().view() : "");
        EXPECT_EQ(Ranges(a), Ranges(b));
        ExpectSameForm(a.Factor(), b.Factor(), "factor");
        ExpectSameForm(a.Offset(), b.Offset(), "offset");
        ExpectSameForm(a.Minimum(), b.Minimum(), "minimum");
        ExpectSameForm(a.Maximum(), b.Maximum(), "maximum");
    } else {
        if (std::isfinite(b.Factor().value)) {
            EXPECT_EQ(b.Factor().decimals, 6) << "decimals are those of the stored \"%f\" text";
        }
        EXPECT_FALSE(b.Factor().exponent);
    }
}

inline void ExpectSameMessage(const qm::dbc::DbcMessage& a, const qm::dbc::DbcMessage& b,
                              DbcRebuild mode) {
    SCOPED_TRACE("message " + a.Name());
    QM_EXPECT_SAME(a, b, RawId(), Name(), Size());
    EXPECT_EQ(TransmitterName(a), TransmitterName(b));
    EXPECT_EQ(Stored(a.Comment(), mode), b.Comment());
    // The container form keeps the transmitter of the message line, not the further ones.
    if (mode == DbcRebuild::kText) {
        EXPECT_EQ(TransmitterNames(a), TransmitterNames(b));
    }
    ASSERT_EQ(a.Signals().size(), b.Signals().size());
    for (size_t i = 0; i < a.Signals().size(); ++i) {
        ExpectSameSignal(*a.Signals()[i], *b.Signals()[i], mode);
        EXPECT_EQ(b.Signals()[i]->Message(), &b);
    }
    ForEachPair(a.SignalGroups(), b.SignalGroups(), [&](const auto& ga, const auto& gb) {
        QM_EXPECT_SAME(ga, gb, Name(), Repetitions());
        ASSERT_EQ(ga.Signals().size(), gb.Signals().size());
        for (size_t j = 0; j < ga.Signals().size(); ++j) {
            EXPECT_EQ(ga.Signals()[j]->Name(), gb.Signals()[j]->Name());
        }
    });
}

inline std::string Decoded(std::string text, DbcRebuild mode) {
    // The container form stores the network comment and value-table descriptions decoded.
    if (mode == DbcRebuild::kContainer) qm::DecodeEntities(text);
    return Stored(text, mode);
}

// Compares the model b rebuilt from a.
inline void ExpectSameDbcModel(const NetConfigDbcFile& a, const NetConfigDbcFile& b,
                               DbcRebuild mode) {
    // A text read back takes its name from its new file unless it names itself.
    if (mode == DbcRebuild::kContainer) {
        EXPECT_EQ(a.DatabaseName(), b.DatabaseName());
    }
    EXPECT_EQ(Decoded(a.NetworkComment(), mode), b.NetworkComment());
    if (mode == DbcRebuild::kText) {
        QM_EXPECT_SAME(a, b, Version(), NewSymbols());
    }
    ForEachPair(a.Nodes(), b.Nodes(), [&](const auto& na, const auto& nb) {
        EXPECT_EQ(na.Name(), nb.Name());
        EXPECT_EQ(Stored(na.Comment(), mode), nb.Comment());
        // A node named "Vector__XXX" sends, read back, the messages written without sender.
        if (na.Name() != "Vector__XXX") {
            EXPECT_EQ(const_cast<qm::dbc::DbcNode&>(na).GetTxMessageCount(),
                      const_cast<qm::dbc::DbcNode&>(nb).GetTxMessageCount())
                << na.Name();
        }
        EXPECT_EQ(const_cast<qm::dbc::DbcNode&>(na).GetRxSignalCount(),
                  const_cast<qm::dbc::DbcNode&>(nb).GetRxSignalCount())
            << na.Name();
    });
    ForEachPair(a.ValueTables(), b.ValueTables(), [&](const auto& ta, const auto& tb) {
        EXPECT_EQ(ta.Name(), tb.Name());
        ASSERT_EQ(ta.Values().size(), tb.Values().size()) << ta.Name();
        for (const auto& [value, text] : ta.Values()) {
            const auto found = tb.Values().find(value);
            ASSERT_NE(found, tb.Values().end()) << ta.Name() << " " << value;
            EXPECT_EQ(Decoded(text, mode), found->second);
        }
    });
    ASSERT_EQ(a.Messages().size(), b.Messages().size());
    for (size_t i = 0; i < a.Messages().size(); ++i) {
        ExpectSameMessage(*a.Messages()[i], *b.Messages()[i], mode);
    }
    ASSERT_EQ(a.AllSignals().size(), b.AllSignals().size());
    ForEachPair(a.Variables(), b.Variables(), [&](const auto& va, const auto& vb) {
        SCOPED_TRACE("variable " + va.Name());
        QM_EXPECT_SAME(va, vb, Name(), Type(), Id(), AccessNodes());
        ExpectSameReal(va.Minimum(), vb.Minimum(), mode, "minimum");
        ExpectSameReal(va.Maximum(), vb.Maximum(), mode, "maximum");
        ExpectSameReal(va.InitialValue(), vb.InitialValue(), mode, "initial value");
        EXPECT_EQ(const_cast<qm::dbc::DbcEnvironmentVariable&>(va).GetAccessType(),
                  const_cast<qm::dbc::DbcEnvironmentVariable&>(vb).GetAccessType());
        EXPECT_EQ(Stored(va.Comment(), mode), vb.Comment());
        EXPECT_EQ(StoredEntries(va.ValueDescriptions().Entries(), mode),
                  vb.ValueDescriptions().Entries());
        // The container form has no unit, access token and data size of a variable.
        if (mode == DbcRebuild::kText) {
            QM_EXPECT_SAME(va, vb, Unit(), AccessTypeToken(), DataSizeGiven(), DataSize());
        }
    });
    ForEachPair(a.Definitions(), b.Definitions(), [&](const auto& da, const auto& db) {
        SCOPED_TRACE("definition " + da.Name());
        QM_EXPECT_SAME(da, db, Name(), ObjectType(), ValueType(), Values(), DefaultValue());
    });
    // Every attribute comes back once, relation attributes included (after a container import
    // as a network attribute: attribute elements name no owner).
    EXPECT_EQ(AllAttributes(a), AllAttributes(b));
}

}  // namespace dbctest
