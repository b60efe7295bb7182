#pragma once
// One comparison of two LDF models, object by object (names, numbers, references), used where
// a model is rebuilt from its container element. The differences the container form forces
// are relaxed, each with its reason.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "ldf/netconfig_ldf_file.h"
#include "pair_compare.h"

namespace qm::ldf::test {

using qmtest::ForEachPair;

template <class T>
std::string NameOrEmpty(const T* object) {
    return object ? object->name : std::string();
}

template <class List>
std::vector<std::string> NamesOf(const List& list) {
    std::vector<std::string> names;
    for (const auto& item : list) names.push_back(NameOrEmpty(&*item));
    return names;
}

// The XML reader trims the character data of every element: texts come back trimmed.
using qmtest::Trimmed;

inline void ExpectSameReal(double a, double b, const char* what) {
    if (!std::isfinite(a)) {
        EXPECT_DOUBLE_EQ(a, b) << what;
    } else {
        EXPECT_NEAR(a, b, 5.1e-7 + std::fabs(a) * 1e-15) << what;  // "%f" keeps six decimals
    }
}

inline void ExpectSameNodes(const LdfModel& a, const LdfModel& b) {
    EXPECT_EQ(NamesOf(a.nodes), NamesOf(b.nodes));
    ForEachPair(a.nodes, b.nodes, [&](const auto& na, const auto& nb) {
        SCOPED_TRACE("node " + na.name);
        QM_EXPECT_SAME(na, nb, isMaster, diagnosticAddress);
        EXPECT_EQ(NamesOf(na.publishedFrames), NamesOf(nb.publishedFrames));
        EXPECT_EQ(NamesOf(na.subscribedFrames), NamesOf(nb.subscribedFrames));
        EXPECT_EQ(NamesOf(na.subscribedSignals), NamesOf(nb.subscribedSignals));
    });
    ASSERT_EQ(a.masterNode != nullptr, b.masterNode != nullptr);
    if (a.masterNode) {
        ExpectSameReal(a.masterNode->timeBase, b.masterNode->timeBase, "time base");
        ExpectSameReal(a.masterNode->jitter, b.masterNode->jitter, "jitter");
        QM_EXPECT_SAME(*a.masterNode, *b.masterNode, bitLength, tolerant);
    }
    ForEachPair(a.slaveNodes, b.slaveNodes, [&](const auto& sa, const auto& sb) {
        SCOPED_TRACE("slave " + sa.name);
        QM_EXPECT_SAME(sa, sb, linProtocol, configuredNad, initialNadGiven, initialNad, p2MinGiven,
                       stMinGiven, nAsTimeoutGiven, nCrTimeoutGiven, responseToleranceGiven,
                       responseTolerance);
        ASSERT_EQ(sa.productId != nullptr, sb.productId != nullptr);
        if (sa.productId) {
            QM_EXPECT_SAME(*sa.productId, *sb.productId, supplierId, functionId, variantGiven,
                           variant);
        }
        EXPECT_EQ(NameOrEmpty(sa.responseErrorSignal), NameOrEmpty(sb.responseErrorSignal));
        EXPECT_EQ(NamesOf(sa.faultStateSignals), NamesOf(sb.faultStateSignals));
        ExpectSameReal(sa.p2Min, sb.p2Min, "P2_min");
        ExpectSameReal(sa.stMin, sb.stMin, "ST_min");
        ForEachPair(sa.configurableFrames, sb.configurableFrames,
                    [&](const auto& ca, const auto& cb) {
                        EXPECT_EQ(ca.frame ? ca.frame->name : ca.frameName,
                                  cb.frame ? cb.frame->name : cb.frameName);
                        EXPECT_EQ(ca.frame != nullptr, cb.frame != nullptr);
                        QM_EXPECT_SAME(ca, cb, messageIdGiven, messageId);
                    });
    });
    ForEachPair(a.configurations, b.configurations, [&](const auto& ca, const auto& cb) {
        EXPECT_EQ(ca.name, cb.name);
        ASSERT_EQ(ca.groups.size(), cb.groups.size());
        for (size_t j = 0; j < ca.groups.size(); ++j) {
            EXPECT_EQ(NameOrEmpty(ca.groups[j]->compositeNode),
                      NameOrEmpty(cb.groups[j]->compositeNode));
            EXPECT_EQ(NamesOf(ca.groups[j]->logicalNodes), NamesOf(cb.groups[j]->logicalNodes));
        }
    });
}

inline void ExpectSameSignals(const LdfModel& a, const LdfModel& b) {
    EXPECT_EQ(NamesOf(a.allSignals), NamesOf(b.allSignals));
    ForEachPair(a.standardSignals, b.standardSignals, [&](const auto& sa, const auto& sb) {
        SCOPED_TRACE("signal " + sa.name);
        QM_EXPECT_SAME(sa, sb, size, initialValues, publisherName, bitOffset, groupOffset);
        // The container form keeps no braces: a single braced value is no longer an array.
        if (sa.initialValues.size() != 1) {
            EXPECT_EQ(sa.byteArray, sb.byteArray);
        }
        EXPECT_EQ(NameOrEmpty(sa.publisher), NameOrEmpty(sb.publisher));
        EXPECT_EQ(NamesOf(sa.subscribers), NamesOf(sb.subscribers));
        EXPECT_EQ(NameOrEmpty(sa.frame), NameOrEmpty(sb.frame));
        EXPECT_EQ(NameOrEmpty(sa.encodingType), NameOrEmpty(sb.encodingType));
    });
    ForEachPair(a.diagnosticSignals, b.diagnosticSignals, [&](const auto& sa, const auto& sb) {
        QM_EXPECT_SAME(sa, sb, name, size);
        // The container form has one "Initial-value" per diagnostic signal.
        if (sa.initialValues.size() == 1) {
            EXPECT_EQ(sa.initialValues, sb.initialValues) << sa.name;
        }
        EXPECT_EQ(NameOrEmpty(sa.frame), NameOrEmpty(sb.frame));
    });
}

inline void ExpectSameFrames(const LdfModel& a, const LdfModel& b) {
    EXPECT_EQ(NamesOf(a.allFrames), NamesOf(b.allFrames));
    ForEachPair(a.unconditionalFrames, b.unconditionalFrames, [&](const auto& fa, const auto& fb) {
        SCOPED_TRACE("frame " + fa.name);
        QM_EXPECT_SAME(fa, fb, frameId, length, dynamic, publisherName);
        EXPECT_EQ(NameOrEmpty(fa.publisher), NameOrEmpty(fb.publisher));
        EXPECT_EQ(NamesOf(fa.signals), NamesOf(fb.signals));
    });
    ASSERT_EQ(a.sporadicFrames.size(), b.sporadicFrames.size());
    for (size_t i = 0; i < a.sporadicFrames.size(); ++i) {
        EXPECT_EQ(NamesOf(a.sporadicFrames[i]->associated.frames),
                  NamesOf(b.sporadicFrames[i]->associated.frames));
    }
    ForEachPair(a.eventTriggeredFrames, b.eventTriggeredFrames,
                [&](const auto& ea, const auto& eb) {
                    EXPECT_EQ(ea.frameId, eb.frameId);
                    EXPECT_EQ(NameOrEmpty(ea.collisionTable), NameOrEmpty(eb.collisionTable));
                    EXPECT_EQ(NamesOf(ea.associated.frames), NamesOf(eb.associated.frames));
                });
    ASSERT_EQ(a.diagnosticFrames.size(), b.diagnosticFrames.size());
    for (size_t i = 0; i < a.diagnosticFrames.size(); ++i) {
        EXPECT_EQ(a.diagnosticFrames[i]->frameId, b.diagnosticFrames[i]->frameId);
        EXPECT_EQ(NamesOf(a.diagnosticFrames[i]->signals), NamesOf(b.diagnosticFrames[i]->signals));
    }
}

// The command's kind and every field, references by name.
inline std::string CommandText(const ScheduleTableCommand* command) {
    if (!command) return "none";
    std::string text = std::to_string(command->commandKind);
    auto bytes = [&](const auto& list) {
        for (uint8_t byte : list) text += " " + std::to_string(byte);
    };
    switch (command->commandKind) {
        case kLdfCommandFrame:
            return text + " " + NameOrEmpty(static_cast<const FrameCommand*>(command)->frame);
        case kLdfCommandAssignNad: {
            const auto* assign = static_cast<const AssignNadCommand*>(command);
            // The container form names the node only; the NADs and ids come from the slave.
            return text + " " + NameOrEmpty(assign->node);
        }
        case kLdfCommandConditionalChangeNad:
            bytes(static_cast<const ConditionalChangeNadCommand*>(command)->bytes);
            return text;
        case kLdfCommandDataDump: {
            const auto* dump = static_cast<const DataDumpCommand*>(command);
            text += " " + NameOrEmpty(dump->node);
            bytes(dump->data);
            return text;
        }
        case kLdfCommandSaveConfiguration:
            return text + " " +
                   NameOrEmpty(static_cast<const SaveConfigurationCommand*>(command)->node);
        case kLdfCommandAssignFrameIdRange: {
            const auto* range = static_cast<const AssignFrameIdRangeCommand*>(command);
            text += " " + NameOrEmpty(range->node) + " " + std::to_string(range->frameIndex) + " " +
                    std::to_string(range->pidsGiven);
            bytes(range->pids);
            return text;
        }
        case kLdfCommandFreeFormat:
            bytes(static_cast<const FreeFormatCommand*>(command)->data);
            return text;
        case kLdfCommandAssignFrameId: {
            const auto* assign = static_cast<const AssignFrameIdCommand*>(command);
            return text + " " + NameOrEmpty(assign->node) + " " + NameOrEmpty(assign->frame);
        }
        case kLdfCommandUnassignFrameId: {
            const auto* unassign = static_cast<const UnassignFrameIdCommand*>(command);
            return text + " " + NameOrEmpty(unassign->node) + " " + NameOrEmpty(unassign->frame);
        }
        default:
            return text;
    }
}

inline void ExpectSameSchedules(const LdfModel& a, const LdfModel& b) {
    ForEachPair(a.scheduleTables, b.scheduleTables, [&](const auto& ta, const auto& tb) {
        SCOPED_TRACE("schedule table " + ta.name);
        EXPECT_EQ(ta.name, tb.name);
        ASSERT_EQ(ta.tasks.size(), tb.tasks.size());
        for (size_t j = 0; j < ta.tasks.size(); ++j) {
            EXPECT_EQ(CommandText(ta.tasks[j]->command.get()),
                      CommandText(tb.tasks[j]->command.get()));
            EXPECT_EQ(ta.tasks[j]->delay, tb.tasks[j]->delay);
        }
    });
}

inline void ExpectSameEncodings(const LdfModel& a, const LdfModel& b) {
    ASSERT_EQ(a.signalGroups.size(), b.signalGroups.size());
    for (size_t i = 0; i < a.signalGroups.size(); ++i) {
        QM_EXPECT_SAME(*a.signalGroups[i], *b.signalGroups[i], name, size);
        EXPECT_EQ(NamesOf(a.signalGroups[i]->signals), NamesOf(b.signalGroups[i]->signals));
    }
    ForEachPair(a.encodingTypes, b.encodingTypes, [&](const auto& ea, const auto& eb) {
        SCOPED_TRACE("encoding " + ea.name);
        EXPECT_EQ(ea.name, eb.name);
        EXPECT_EQ(NamesOf(ea.signals), NamesOf(eb.signals));
        ASSERT_EQ(ea.values.size(), eb.values.size());
        for (size_t j = 0; j < ea.values.size(); ++j) {
            ASSERT_EQ(ea.values[j]->valueKind, eb.values[j]->valueKind);
            if (ea.values[j]->valueKind == kLdfValueLogical) {
                const auto& la = static_cast<const LdfLogicalValue&>(*ea.values[j]);
                const auto& lb = static_cast<const LdfLogicalValue&>(*eb.values[j]);
                EXPECT_EQ(la.signalValue, lb.signalValue);
                EXPECT_EQ(Trimmed(la.textInfo), lb.textInfo);
            } else if (ea.values[j]->valueKind == kLdfValuePhysical) {
                const auto& pa = static_cast<const LdfPhysicalValue&>(*ea.values[j]);
                const auto& pb = static_cast<const LdfPhysicalValue&>(*eb.values[j]);
                QM_EXPECT_SAME(pa, pb, minimum, maximum);
                ExpectSameReal(pa.scale, pb.scale, "scale");
                ExpectSameReal(pa.offset, pb.offset, "offset");
                EXPECT_EQ(Trimmed(pa.textInfo), pb.textInfo);
            }
        }
    });
    ASSERT_EQ(a.representations.size(), b.representations.size());
    for (size_t i = 0; i < a.representations.size(); ++i) {
        EXPECT_EQ(NameOrEmpty(a.representations[i]->encodingType),
                  NameOrEmpty(b.representations[i]->encodingType));
        EXPECT_EQ(NamesOf(a.representations[i]->signals), NamesOf(b.representations[i]->signals));
    }
}

// Compares the model b rebuilt from a. Comments, the file revision and the big-endian flag are
// not part of the container form and are not compared.
inline void ExpectSameLdfModel(const LdfModel& a, const LdfModel& b) {
    QM_EXPECT_SAME(a, b, networkName, protocolVersion, languageVersion, channelName);
    ExpectSameReal(a.speed, b.speed, "speed");
    ExpectSameNodes(a, b);
    ExpectSameSignals(a, b);
    ExpectSameFrames(a, b);
    ExpectSameSchedules(a, b);
    ExpectSameEncodings(a, b);
}

}  // namespace qm::ldf::test
