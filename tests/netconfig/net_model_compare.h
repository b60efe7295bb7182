#pragma once
// One comparison of two network databases through their interfaces: ECUs, messages, signals,
// value tables and properties. A database rebuilt from the container form may differ where the
// form forces it; the caller says which of those differences apply.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <map>
#include <string>

#include "pair_compare.h"
#include "quillmere/netconfig.h"

namespace nettest {

struct NetRebuild {
    // An ARXML-derived database comes back DBC- or LDF-derived: not from ARXML, with the
    // properties of that conversion instead of the ARXML ones.
    bool sourceChanged = false;
    // Attributes of a DBC come back as network attributes: the ECUs lose their file
    // attributes, which the database then lists.
    bool attributesOnDatabase = false;
    // The XML reader trims every text, and reals are "%f" texts: units and descriptions come
    // back trimmed, and integer limits truncated from a value rounded to six decimals may move
    // by one.
    bool storedAsText = false;
};

inline std::string Trimmed(const std::string& text, bool trim) {
    if (!trim) return text;
    const size_t first = text.find_first_not_of(" \t\r\n");
    if (first == std::string::npos) return std::string();
    return text.substr(first, text.find_last_not_of(" \t\r\n") - first + 1);
}

template <class Object>
std::map<std::string, std::string> Properties(Object& object, bool trim) {
    std::map<std::string, std::string> properties;
    for (uint64_t i = 0; i < object.GetPropertyCount(); ++i) {
        properties.emplace(object.GetProperty(i)->GetName(),
                           Trimmed(object.GetProperty(i)->GetValue(), trim));
    }
    return properties;
}

template <class Object>
std::multimap<std::string, std::string> FileAttributes(Object& object) {
    std::multimap<std::string, std::string> attributes;
    for (uint64_t i = 0; i < object.GetFileAttributeCount(); ++i) {
        attributes.emplace(object.GetFileAttribute(i)->GetName(),
                           object.GetFileAttribute(i)->GetValue());
    }
    return attributes;
}

// "%f" keeps six decimals; a value computed from a stored scale moves by up to the scale's
// rounding times the raw value.
inline void ExpectNear(double a, double b, const char* what, double slack = 0.0) {
    if (!std::isfinite(a)) return;
    EXPECT_NEAR(a, b, 5.1e-7 + std::fabs(a) * 1e-12 + slack) << what;
}

inline void ExpectSameSignal(INetSignal& a, INetSignal& b, const NetRebuild& rebuild) {
    SCOPED_TRACE(std::string("signal ") + a.GetName());
    EXPECT_STREQ(a.GetName(), b.GetName());
    QM_EXPECT_SAME(a, b, GetStartBit(), GetBitSize(), GetByteOrder(), GetSignedness(),
                   GetReceiverCount());
    ExpectNear(a.GetFactor(), b.GetFactor(), "factor");
    ExpectNear(a.GetOffset(), b.GetOffset(), "offset");
    double largestRaw = 0.0;
    for (uint64_t i = 0; i < a.GetVTabValueCount(); ++i) {
        largestRaw = std::max(largestRaw, static_cast<double>(a.GetVTabValue(i)->GetRawMax()));
    }
    const double scaled = rebuild.storedAsText ? 5.1e-7 * (largestRaw + 1.0) : 0.0;
    ExpectNear(a.GetMinimum(), b.GetMinimum(), "minimum", scaled);
    ExpectNear(a.GetMaximum(), b.GetMaximum(), "maximum", scaled);
    if (rebuild.sourceChanged) return;
    EXPECT_EQ(Trimmed(a.GetUnit(), rebuild.storedAsText), b.GetUnit());
    EXPECT_EQ(a.GetValueType(), b.GetValueType());
    const int64_t slack = rebuild.storedAsText ? 1 : 0;
    EXPECT_LE(std::llabs(a.GetMinimumInt() - b.GetMinimumInt()), slack);
    EXPECT_LE(std::llabs(a.GetMaximumInt() - b.GetMaximumInt()), slack);
    EXPECT_EQ(Properties(a, rebuild.storedAsText), Properties(b, false));
    ASSERT_EQ(a.GetVTabValueCount(), b.GetVTabValueCount());
    for (uint64_t i = 0; i < a.GetVTabValueCount(); ++i) {
        INetVTabValue* va = a.GetVTabValue(i);
        INetVTabValue* vb = b.GetVTabValue(i);
        QM_EXPECT_SAME(*va, *vb, GetRawMin(), GetRawMax());
        ExpectNear(va->GetPhysicalMin(), vb->GetPhysicalMin(), "physical minimum", scaled);
        ExpectNear(va->GetPhysicalMax(), vb->GetPhysicalMax(), "physical maximum", scaled);
        EXPECT_EQ(Trimmed(va->GetText(), rebuild.storedAsText), vb->GetText());
    }
}

inline void ExpectSameMessage(INetMessage& a, INetMessage& b, const NetRebuild& rebuild) {
    SCOPED_TRACE(std::string("message ") + a.GetName());
    EXPECT_STREQ(a.GetName(), b.GetName());
    QM_EXPECT_SAME(a, b, GetId(), GetSize(), GetReceiverCount());
    INetEcu* ta = a.GetTransmitter();
    INetEcu* tb = b.GetTransmitter();
    EXPECT_EQ(ta ? std::string(ta->GetName()) : "", tb ? std::string(tb->GetName()) : "");
    if (!rebuild.sourceChanged) {
        EXPECT_EQ(Properties(a, rebuild.storedAsText), Properties(b, false));
    }
    if (!rebuild.attributesOnDatabase && !rebuild.sourceChanged) {
        EXPECT_EQ(FileAttributes(a), FileAttributes(b));
    }
    ASSERT_EQ(a.GetSignalCount(), b.GetSignalCount());
    for (uint64_t i = 0; i < a.GetSignalCount(); ++i) {
        ExpectSameSignal(*a.GetSignal(i), *b.GetSignal(i), rebuild);
    }
}

// Compares the database b rebuilt from a.
inline void ExpectSameDatabase(INetDataBase& a, INetDataBase& b, const NetRebuild& rebuild) {
    SCOPED_TRACE(std::string("database ") + a.GetName());
    EXPECT_STREQ(a.GetName(), b.GetName());
    EXPECT_EQ(a.GetBusType(), b.GetBusType());
    EXPECT_EQ(rebuild.sourceChanged ? false : a.IsFromArxml(), b.IsFromArxml());
    if (!rebuild.sourceChanged) {
        EXPECT_EQ(Properties(a, rebuild.storedAsText), Properties(b, false));
    }
    if (!rebuild.attributesOnDatabase && !rebuild.sourceChanged) {
        EXPECT_EQ(FileAttributes(a), FileAttributes(b));
    }
    ASSERT_EQ(a.GetEcuCount(), b.GetEcuCount());
    for (uint64_t i = 0; i < a.GetEcuCount(); ++i) {
        INetEcu* ea = a.GetEcu(i);
        INetEcu* eb = b.GetEcu(i);
        SCOPED_TRACE(std::string("ECU ") + ea->GetName());
        EXPECT_STREQ(ea->GetName(), eb->GetName());
        QM_EXPECT_SAME(*ea, *eb, GetTxMessageCount(), GetRxMessageCount(), GetRxSignalCount());
        if (rebuild.sourceChanged) continue;
        EXPECT_EQ(Properties(*ea, rebuild.storedAsText), Properties(*eb, false));
        if (rebuild.attributesOnDatabase) {
            EXPECT_EQ(eb->GetFileAttributeCount(), 0u);
        } else {
            EXPECT_EQ(FileAttributes(*ea), FileAttributes(*eb));
        }
    }
    ASSERT_EQ(a.GetMessageCount(), b.GetMessageCount());
    for (uint64_t i = 0; i < a.GetMessageCount(); ++i) {
        ExpectSameMessage(*a.GetMessage(i), *b.GetMessage(i), rebuild);
    }
    EXPECT_EQ(a.GetSignalCount(), b.GetSignalCount());
}

}  // namespace nettest
