#pragma once
// The node family: master and slave nodes with the slave's node attributes.
#include <memory>
#include <string>
#include <vector>

#include "ldf/ldf_collections.h"
#include "ldf/ldf_text.h"
#include "quillmere/ldf.h"

namespace qm::ldf {

class LdfUnconditionalFrame;
class LdfStandardSignal;
class LdfFrame;

class LdfNode : public ILdfNode {
  public:
    explicit LdfNode(uint8_t master) : isMaster(master) {}

    void Clear() override;
    const char* GetName() override { return name.c_str(); }
    uint32_t GetDiagnosticAddress() override { return diagnosticAddress; }
    uint8_t IsMaster() override { return isMaster; }
    uint8_t IsSlave() override { return isMaster ? 0 : 1; }
    uint64_t GetPublishedFrameCount() override { return publishedFrames.size(); }
    ILdfUnconditionalFrame* GetPublishedFrame(uint64_t index) override;
    ILdfUnconditionalFrame* FindPublishedFrame(const char* name) override;
    uint64_t GetSubscribedFrameCount() override { return subscribedFrames.size(); }
    ILdfUnconditionalFrame* GetSubscribedFrame(uint64_t index) override;
    ILdfUnconditionalFrame* FindSubscribedFrame(const char* name) override;
    uint64_t GetSubscribedSignalCount() override { return subscribedSignals.size(); }
    ILdfStandardSignal* GetSubscribedSignal(uint64_t index) override;
    ILdfStandardSignal* FindSubscribedSignal(const char* name) override;

    bool HasDiagnosticAddress() const { return diagnosticAddress != kNoAddress; }

    static constexpr uint32_t kNoAddress = 0xFFFFFFFFu;
    LdfText name;
    uint32_t diagnosticAddress = kNoAddress;
    uint8_t isMaster;
    std::vector<LdfUnconditionalFrame*> publishedFrames;
    std::vector<LdfUnconditionalFrame*> subscribedFrames;
    std::vector<LdfStandardSignal*> subscribedSignals;
};

// Joins LdfNode with one kind's interface and forwards the shared operations to LdfNode.
template <class Interface>
class CLdfNodeImpl : public LdfNode, public Interface {
  public:
    explicit CLdfNodeImpl(uint8_t master) : LdfNode(master) {}
    const char* GetName() override { return LdfNode::GetName(); }
    uint32_t GetDiagnosticAddress() override { return LdfNode::GetDiagnosticAddress(); }
    uint8_t IsMaster() override { return LdfNode::IsMaster(); }
    uint8_t IsSlave() override { return LdfNode::IsSlave(); }
    uint64_t GetPublishedFrameCount() override { return LdfNode::GetPublishedFrameCount(); }
    ILdfUnconditionalFrame* GetPublishedFrame(uint64_t index) override {
        return LdfNode::GetPublishedFrame(index);
    }
    ILdfUnconditionalFrame* FindPublishedFrame(const char* name) override {
        return LdfNode::FindPublishedFrame(name);
    }
    uint64_t GetSubscribedFrameCount() override { return LdfNode::GetSubscribedFrameCount(); }
    ILdfUnconditionalFrame* GetSubscribedFrame(uint64_t index) override {
        return LdfNode::GetSubscribedFrame(index);
    }
    ILdfUnconditionalFrame* FindSubscribedFrame(const char* name) override {
        return LdfNode::FindSubscribedFrame(name);
    }
    uint64_t GetSubscribedSignalCount() override { return LdfNode::GetSubscribedSignalCount(); }
    ILdfStandardSignal* GetSubscribedSignal(uint64_t index) override {
        return LdfNode::GetSubscribedSignal(index);
    }
    ILdfStandardSignal* FindSubscribedSignal(const char* name) override {
        return LdfNode::FindSubscribedSignal(name);
    }
};

class LdfMasterNode : public CLdfNodeImpl<ILdfMasterNode> {
  public:
    LdfMasterNode() : CLdfNodeImpl(1) {}
    void Clear() override;
    double GetTimeBase() override { return timeBase; }
    double GetJitter() override { return jitter; }
    uint32_t GetBitLength() override { return bitLength; }
    uint8_t GetTolerant() override { return tolerant; }

    bool HasBitLength() const { return bitLength != 0xFFFFFFFFu; }
    bool HasTolerant() const { return tolerant != 255; }

    double timeBase = 0.0;
    double jitter = 0.0;
    uint32_t bitLength = 0xFFFFFFFFu;
    uint8_t tolerant = 255;
};

class ProductId : public IProductId {
  public:
    void Clear() override { *this = ProductId(); }
    uint16_t GetSupplierId() override { return supplierId; }
    uint16_t GetFunctionId() override { return functionId; }
    uint8_t HasVariant() override { return variantGiven; }
    uint8_t GetVariant() override { return variant; }

    uint16_t supplierId = 0;
    uint16_t functionId = 0;
    uint8_t variantGiven = 0;
    uint8_t variant = 0;
};

class ConfigurableFrame : public IConfigurableFrame {
  public:
    void Clear() override;
    ILdfFrame* GetFrame() override;
    uint8_t HasMessageId() override { return messageIdGiven; }
    uint16_t GetMessageId() override { return messageId; }

    LdfFrame* frame = nullptr;
    LdfText frameName;  // as written; bound to the frame once the whole file is read
    uint8_t messageIdGiven = 0;
    uint16_t messageId = 0;
};

class LdfSlaveNode : public CLdfNodeImpl<ILdfSlaveNode> {
  public:
    LdfSlaveNode() : CLdfNodeImpl(0) {}
    void Clear() override;
    const char* GetLinProtocol() override { return linProtocol.c_str(); }
    uint8_t GetConfiguredNad() override { return configuredNad; }
    uint8_t HasInitialNad() override { return initialNadGiven; }
    uint8_t GetInitialNad() override { return initialNad; }
    IProductId* GetProductId() override { return productId.get(); }
    ILdfStandardSignal* GetResponseErrorSignal() override;
    uint8_t HasFaultStateSignals() override { return faultStateSignalsGiven; }
    uint64_t GetFaultStateSignalCount() override { return faultStateSignals.size(); }
    ILdfStandardSignal* GetFaultStateSignal(uint64_t index) override;
    ILdfStandardSignal* FindFaultStateSignal(const char* name) override;
    uint8_t HasP2Min() override { return p2MinGiven; }
    double GetP2Min() override { return p2Min; }
    uint8_t HasStMin() override { return stMinGiven; }
    double GetStMin() override { return stMin; }
    uint8_t HasNAsTimeout() override { return nAsTimeoutGiven; }
    double GetNAsTimeout() override { return nAsTimeout; }
    uint8_t HasNCrTimeout() override { return nCrTimeoutGiven; }
    double GetNCrTimeout() override { return nCrTimeout; }
    uint8_t HasResponseTolerance() override { return responseToleranceGiven; }
    uint8_t GetResponseTolerance() override { return responseTolerance; }
    uint64_t GetConfigurableFrameCount() override { return configurableFrames.size(); }
    IConfigurableFrame* GetConfigurableFrame(uint64_t index) override;
    uint16_t GetConfigurableMessageIdByFrameId(uint8_t frameId) override;
    uint16_t GetConfigurableMessageIdByFrameName(const char* name) override;

    LdfText linProtocol;
    uint8_t configuredNad = 0;
    uint8_t initialNadGiven = 0;
    uint8_t initialNad = 0;
    std::unique_ptr<ProductId> productId;
    LdfStandardSignal* responseErrorSignal = nullptr;
    uint8_t faultStateSignalsGiven = 0;
    std::vector<LdfStandardSignal*> faultStateSignals;
    uint8_t p2MinGiven = 0;
    double p2Min = 50.0;
    uint8_t stMinGiven = 0;
    double stMin = 0.0;
    uint8_t nAsTimeoutGiven = 0;
    double nAsTimeout = 1000.0;
    uint8_t nCrTimeoutGiven = 0;
    double nCrTimeout = 1000.0;
    uint8_t responseToleranceGiven = 0;
    uint8_t responseTolerance = 0;
    std::vector<std::unique_ptr<ConfigurableFrame>> configurableFrames;
};

}  // namespace qm::ldf
