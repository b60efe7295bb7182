#pragma once
#include <cstdint>
#include <string>
#include <vector>

#include "dbc/dbc_attribute.h"
#include "dbc/dbc_value_descriptions.h"
#include "quillmere/dbc.h"

namespace qm::dbc {

// An environment variable (EV_) with its data size, value descriptions and attributes.
class DbcEnvironmentVariable : public IDbcEnvironmentVariable, public IDbcExactValueDescriptions {
  public:
    DbcEnvironmentVariable() = default;
    DbcEnvironmentVariable(const DbcEnvironmentVariable&) = delete;
    DbcEnvironmentVariable& operator=(const DbcEnvironmentVariable&) = delete;
    ~DbcEnvironmentVariable() override { attributes_.DeleteAll(false); }

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    int32_t GetType() override { return type_; }
    const char* GetTypeText() override { return typeText_; }
    double GetMinimum() override { return minimum_; }
    double GetMaximum() override { return maximum_; }
    const char* GetUnit() override { return unit_.c_str(); }
    double GetInitialValue() override { return initialValue_; }
    uint32_t GetId() override { return id_; }
    int32_t GetAccessType() override { return accessType_; }
    const char* GetAccessTypeText() override { return accessTypeText_; }
    const char* GetAccessTypeToken() override { return accessTypeToken_.c_str(); }
    uint64_t GetAccessNodeCount() override { return accessNodes_.size(); }
    const char* GetAccessNode(uint64_t index) override;
    bool HasDataSize() override { return dataSizeGiven_; }
    uint32_t GetDataSize() override { return dataSize_; }
    bool HasNoValueDescriptions() override { return valueDescriptions_.Empty(); }
    uint64_t GetValueDescriptionCount() override { return valueDescriptions_.Count(); }
    uint32_t GetValueAt(uint64_t index) override { return valueDescriptions_.ValueAt(index); }
    const char* GetValueDescription(uint32_t value) override {
        return valueDescriptions_.Find(value);
    }

    // Value descriptions as written
    uint64_t GetExactValueCount() override { return valueDescriptions_.ExactCount(); }
    int64_t GetExactValueAt(uint64_t index) override {
        return valueDescriptions_.ExactValueAt(index).value;
    }
    bool IsExactValueUnsigned(uint64_t index) override {
        return valueDescriptions_.ExactValueAt(index).aboveSignedRange;
    }
    const char* GetExactValueDescriptionAt(uint64_t index) override {
        return valueDescriptions_.ExactDescriptionAt(index);
    }
    const char* FindExactValueDescription(int64_t value) override {
        return valueDescriptions_.FindExact(value);
    }
    const char* GetComment() override { return comment_.c_str(); }
    uint64_t GetAttributeCount() override { return attributes_.Count(); }
    IDbcAttribute* GetAttribute(uint64_t index) override { return attributes_.At(index); }
    IDbcAttribute* FindAttribute(const char* name) override { return attributes_.Find(name); }

    const std::string& Name() const { return name_; }
    void SetName(std::string name) { name_ = std::move(name); }
    void SetType(int32_t type);
    int32_t Type() const { return type_; }
    double Minimum() const { return minimum_; }
    double Maximum() const { return maximum_; }
    void SetLimits(double minimum, double maximum) {
        minimum_ = minimum;
        maximum_ = maximum;
    }
    const std::string& Unit() const { return unit_; }
    void SetUnit(std::string unit) { unit_ = std::move(unit); }
    double InitialValue() const { return initialValue_; }
    void SetInitialValue(double value) { initialValue_ = value; }
    uint32_t Id() const { return id_; }
    void SetId(uint32_t id) { id_ = id; }
    void SetAccessTypeToken(std::string token);
    const std::string& AccessTypeToken() const { return accessTypeToken_; }
    std::vector<std::string>& AccessNodes() { return accessNodes_; }
    const std::vector<std::string>& AccessNodes() const { return accessNodes_; }
    void SetDataSize(uint32_t size) {
        dataSize_ = size;
        dataSizeGiven_ = true;
    }
    bool DataSizeGiven() const { return dataSizeGiven_; }
    uint32_t DataSize() const { return dataSize_; }
    DbcValueDescriptions& ValueDescriptions() { return valueDescriptions_; }
    const DbcValueDescriptions& ValueDescriptions() const { return valueDescriptions_; }
    const std::string& Comment() const { return comment_; }
    void SetComment(std::string comment) { comment_ = std::move(comment); }
    DbcAttributeList& Attributes() { return attributes_; }
    const DbcAttributeList& Attributes() const { return attributes_; }

  private:
    std::string name_;
    int32_t type_ = -1;
    const char* typeText_ = "undefined";
    double maximum_ = 0.0;
    double minimum_ = 0.0;
    std::string unit_;
    double initialValue_ = 0.0;
    uint32_t id_ = 0;
    int32_t accessType_ = -1;
    const char* accessTypeText_ = "undefined";
    std::string accessTypeToken_;
    std::vector<std::string> accessNodes_;
    bool dataSizeGiven_ = false;
    uint32_t dataSize_ = 0;
    DbcValueDescriptions valueDescriptions_;
    std::string comment_;
    DbcAttributeList attributes_;
};

}  // namespace qm::dbc
