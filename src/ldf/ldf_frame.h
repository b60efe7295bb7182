#pragma once
// The frame family: unconditional, sporadic, event-triggered and diagnostic frames.
#include <string>
#include <vector>

#include "ldf/ldf_collections.h"
#include "ldf/ldf_text.h"
#include "quillmere/ldf.h"

namespace qm::ldf {

class LdfNode;
class LdfStandardSignal;
class LdfDiagnosticSignal;
class LdfScheduleTable;
class LdfUnconditionalFrame;

class LdfFrame : public ILdfFrame {
  public:
    explicit LdfFrame(uint8_t kind) : frameKind(kind) {}
    void Clear() override { name.clear(); }
    const char* GetName() override { return name.c_str(); }
    uint8_t GetFrameKind() override { return frameKind; }

    LdfText name;
    uint8_t frameKind = 0xFF;
};

// Joins LdfFrame with one kind's interface and forwards the shared operations to LdfFrame.
template <class Interface>
class CLdfFrameImpl : public LdfFrame, public Interface {
  public:
    explicit CLdfFrameImpl(uint8_t kind) : LdfFrame(kind) {}
    const char* GetName() override { return LdfFrame::GetName(); }
    uint8_t GetFrameKind() override { return LdfFrame::GetFrameKind(); }
};

class LdfUnconditionalFrame : public CLdfFrameImpl<ILdfUnconditionalFrame> {
  public:
    LdfUnconditionalFrame() : CLdfFrameImpl(kLdfFrameUnconditional) {}
    void Clear() override;
    uint8_t GetFrameId() override { return frameId; }
    ILdfNode* GetPublisher() override;
    uint8_t GetLength() override { return length; }
    uint8_t IsDynamic() override { return dynamic; }
    uint64_t GetSignalCount() override { return signals.size(); }
    ILdfStandardSignal* GetSignal(uint64_t index) override;
    ILdfStandardSignal* GetFirstSignal() override;
    ILdfStandardSignal* GetLastSignal() override;
    ILdfStandardSignal* FindSignal(const char* name) override;

    uint8_t frameId = 0;
    uint8_t length = 0;
    uint8_t dynamic = 0;
    LdfNode* publisher = nullptr;
    LdfText publisherName;  // as written, also when no node of that name exists
    std::vector<LdfStandardSignal*> signals;
};

// The associated-frame list that sporadic and event-triggered frames share.
struct AssociatedFrames {
    ILdfUnconditionalFrame* At(uint64_t index) const;
    ILdfUnconditionalFrame* Find(const char* name) const;
    ILdfUnconditionalFrame* FindById(uint8_t frameId) const;

    std::vector<LdfUnconditionalFrame*> frames;
};

class LdfSporadicFrame : public CLdfFrameImpl<ILdfSporadicFrame> {
  public:
    LdfSporadicFrame() : CLdfFrameImpl(kLdfFrameSporadic) {}
    void Clear() override;
    uint64_t GetAssociatedFrameCount() override { return associated.frames.size(); }
    ILdfUnconditionalFrame* GetAssociatedFrame(uint64_t index) override {
        return associated.At(index);
    }
    ILdfUnconditionalFrame* FindAssociatedFrame(const char* name) override {
        return associated.Find(name);
    }
    ILdfUnconditionalFrame* FindAssociatedFrameById(uint8_t frameId) override {
        return associated.FindById(frameId);
    }

    AssociatedFrames associated;
};

class LdfEventTriggeredFrame : public CLdfFrameImpl<ILdfEventTriggeredFrame> {
  public:
    LdfEventTriggeredFrame() : CLdfFrameImpl(kLdfFrameEventTriggered) {}
    void Clear() override;
    ILdfScheduleTable* GetCollisionResolvingScheduleTable() override;
    uint8_t GetFrameId() override { return frameId; }
    uint64_t GetAssociatedFrameCount() override { return associated.frames.size(); }
    ILdfUnconditionalFrame* GetAssociatedFrame(uint64_t index) override {
        return associated.At(index);
    }
    ILdfUnconditionalFrame* FindAssociatedFrame(const char* name) override {
        return associated.Find(name);
    }
    ILdfUnconditionalFrame* FindAssociatedFrameById(uint8_t frameId) override {
        return associated.FindById(frameId);
    }

    // Until the schedule tables are read this is a placeholder table that only carries the
    // name; the file object owns placeholders.
    LdfScheduleTable* collisionTable = nullptr;
    uint8_t frameId = 0;
    AssociatedFrames associated;
};

class LdfDiagnosticFrame : public CLdfFrameImpl<ILdfDiagnosticFrame> {
  public:
    LdfDiagnosticFrame() : CLdfFrameImpl(kLdfFrameDiagnostic) {}
    void Clear() override;
    uint8_t GetFrameId() override { return frameId; }
    uint64_t GetDiagnosticSignalCount() override { return signals.size(); }
    ILdfDiagnosticSignal* GetDiagnosticSignal(uint64_t index) override;
    ILdfDiagnosticSignal* FindDiagnosticSignal(const char* name) override;
    uint8_t IsMasterRequest() override { return name == "MasterReq" ? 1 : 0; }
    uint8_t IsSlaveResponse() override { return name == "SlaveResp" ? 1 : 0; }

    uint8_t frameId = 0;
    std::vector<LdfDiagnosticSignal*> signals;
};

// The length in bytes of the frame kinds that have one; 8 for diagnostic frames, 0 otherwise.
uint8_t FrameLengthOf(const LdfFrame& frame);
// The identifier of the frame kinds that have one; -1 for sporadic frames.
int FrameIdOf(const LdfFrame& frame);

}  // namespace qm::ldf
