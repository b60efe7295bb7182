#pragma once
// The data type catalogue: typed data type objects (trivial, string, vector, array,
// enumeration, structure) held by global data type configurations, and the database's
// configuration of the "ara" and "riz" standard types.
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "quillmere/someip.h"
#include "someip/owned_items.h"
#include "someip/pdu_model.h"

namespace qm::someip {

enum DataTypeKind : uint32_t {
    kKindStructure = 0,
    kKindArray = 1,
    kKindEnum = 2,
    kKindTrivial = 3,
    kKindString = 4,
    kKindVector = 5,
    kKindGlobalConfig = 6,
    kKindUnset = 7,
};

class CGlobalConfigDataType;

// The fields every kind shares, joined with the kind's interface.
template <class Interface>
class CDataTypeImpl : public Interface {
  public:
    CDataTypeImpl(uint32_t kind, std::string name, CGlobalConfigDataType* configuration)
        : kind_(kind), configuration_(configuration), name_(std::move(name)) {}
    void Clear() override {
        kind_ = kKindUnset;
        configuration_ = nullptr;
        name_.clear();
        ClearKind();
    }
    uint32_t GetKind() override { return kind_; }
    IGlobalConfigDataType* GetConfiguration() override;
    const char* GetName() override { return name_.c_str(); }
    const std::string& Name() const { return name_; }

  protected:
    virtual void ClearKind() {}

  private:
    uint32_t kind_;
    CGlobalConfigDataType* configuration_;
    std::string name_;
};

class CDataType : public CDataTypeImpl<IDataType> {
  public:
    explicit CDataType(std::string name = {})
        : CDataTypeImpl(kKindUnset, std::move(name), nullptr) {}
};

// Native type codes of trivial types, by their native declaration.
uint32_t NativeTypeCodeOf(const std::string& declaration);
constexpr uint32_t kNativeUnsupported = 11;

class CTrivialDataType : public CDataTypeImpl<ITrivialDataType> {
  public:
    CTrivialDataType(std::string name, CGlobalConfigDataType* configuration)
        : CDataTypeImpl(kKindTrivial, std::move(name), configuration) {}
    const char* GetBaseTypeName() override { return baseTypeName.c_str(); }
    uint32_t GetNativeTypeCode() override { return nativeTypeCode; }
    uint8_t GetBaseTypeSize() override { return baseTypeSize; }
    uint32_t GetByteOrder() override { return byteOrder; }
    const char* GetNativeDeclaration() override { return nativeDeclaration.c_str(); }

    std::string baseTypeName;
    uint32_t nativeTypeCode = kNativeUnsupported;
    uint8_t baseTypeSize = 0;
    uint32_t byteOrder = 0;
    std::string nativeDeclaration;

  protected:
    void ClearKind() override {
        baseTypeName.clear();
        nativeTypeCode = kNativeUnsupported;
        baseTypeSize = 0;
        byteOrder = 0;
        nativeDeclaration.clear();
    }
};

class CStringDataType : public CDataTypeImpl<IStringDataType> {
  public:
    CStringDataType(std::string name, CGlobalConfigDataType* configuration)
        : CDataTypeImpl(kKindString, std::move(name), configuration) {}
    const char* GetCppType() override { return cppType.c_str(); }
    const char* GetCharacterType() override { return characterType.c_str(); }

    std::string cppType = "std::string";
    std::string characterType;

  protected:
    void ClearKind() override {
        cppType = "std::string";
        characterType.clear();
    }
};

class CVectorDataType : public CDataTypeImpl<IVectorDataType> {
  public:
    CVectorDataType(std::string name, CGlobalConfigDataType* configuration)
        : CDataTypeImpl(kKindVector, std::move(name), configuration) {}
    const char* GetCppType() override { return cppType.c_str(); }
    const char* GetElementName() override { return elementName.c_str(); }
    const char* GetElementTypeName() override { return elementTypeName.c_str(); }

    std::string cppType = "std::vector<";
    std::string elementName;
    std::string elementTypeName;

  protected:
    void ClearKind() override {
        cppType = "std::vector<";
        elementName.clear();
        elementTypeName.clear();
    }
};

class CArrayDataType : public CDataTypeImpl<IArrayDataType> {
  public:
    CArrayDataType(std::string name, CGlobalConfigDataType* configuration)
        : CDataTypeImpl(kKindArray, std::move(name), configuration) {}
    const char* GetElementName() override { return elementName.c_str(); }
    const char* GetElementTypeName() override { return elementTypeName.c_str(); }
    uint32_t GetArraySize() override { return arraySize; }

    std::string elementName;
    std::string elementTypeName;
    uint32_t arraySize = 0;

  protected:
    void ClearKind() override {
        elementName.clear();
        elementTypeName.clear();
        arraySize = 0;
    }
};

class CEnumDataType : public CDataTypeImpl<IEnumDataType> {
  public:
    CEnumDataType(std::string name, CGlobalConfigDataType* configuration)
        : CDataTypeImpl(kKindEnum, std::move(name), configuration) {}
    uint64_t GetEnumeratorCount() override { return enumerators.Count(); }
    IPhysicalValue* GetEnumerator(uint64_t index) override { return enumerators.At(index); }
    IPhysicalValue* FindEnumerator(const char* name) override { return enumerators.Find(name); }
    const char* GetBaseTypeName() override { return baseTypeName.c_str(); }

    OwnedItems<CPhysicalValue> enumerators;
    std::string baseTypeName;

  protected:
    void ClearKind() override {
        enumerators.Clear();
        baseTypeName.clear();
    }
};

class CStructureMember : public IStructureMember {
  public:
    CStructureMember(std::string name, std::string typeName, std::string category)
        : name_(std::move(name)), typeName_(std::move(typeName)), category_(std::move(category)) {}
    void Clear() override {
        name_.clear();
        typeName_.clear();
        category_.clear();
    }
    const char* GetName() override { return name_.c_str(); }
    const char* GetTypeName() override { return typeName_.c_str(); }
    const char* GetCategory() override { return category_.c_str(); }
    const std::string& Name() const { return name_; }

  private:
    std::string name_;
    std::string typeName_;
    std::string category_;
};

class CStructureDataType : public CDataTypeImpl<IStructureDataType> {
  public:
    CStructureDataType(std::string name, CGlobalConfigDataType* configuration)
        : CDataTypeImpl(kKindStructure, std::move(name), configuration) {}
    uint64_t GetMemberCount() override { return members.Count(); }
    IStructureMember* GetMember(uint64_t index) override { return members.At(index); }
    IStructureMember* FindMember(const char* name) override { return members.Find(name); }

    OwnedItems<CStructureMember> members;

  protected:
    void ClearKind() override { members.Clear(); }
};

class CGlobalConfigDataType : public CDataTypeImpl<IGlobalConfigDataType> {
  public:
    explicit CGlobalConfigDataType(std::string name)
        : CDataTypeImpl(kKindGlobalConfig, std::move(name), nullptr) {}
    uint64_t GetDataTypeCount() override { return types_.size(); }
    IDataType* GetDataType(uint64_t index) override;
    IDataType* FindDataType(const char* name) override;

    // Takes any kind; returns it as its common interface.
    template <class T>
    T* Add(std::unique_ptr<T> type) {
        T* raw = type.get();
        types_.push_back(Entry{std::unique_ptr<IDataType>(type.release()), raw->Name()});
        return raw;
    }

  protected:
    void ClearKind() override { types_.clear(); }

  private:
    struct Entry {
        std::unique_ptr<IDataType> type;
        std::string name;
    };
    std::vector<Entry> types_;
};

template <class Interface>
IGlobalConfigDataType* CDataTypeImpl<Interface>::GetConfiguration() {
    return configuration_;
}

class CRizConfig : public IRizConfig {
  public:
    void Clear() override { global_.reset(); }
    uint64_t GetDataTypeCount() override { return types_.size(); }
    IDataType* GetDataType(uint64_t index) override {
        return index < types_.size() ? types_[index].get() : nullptr;
    }
    IDataType* FindDataType(const char* name) override;
    IGlobalConfigDataType* GetGlobalConfiguration() override { return global_.get(); }

    CGlobalConfigDataType* Global() const { return global_.get(); }
    CGlobalConfigDataType* EnsureGlobal();
    // The configuration of that name among the data types, created when missing.
    CGlobalConfigDataType* ConfigurationNamed(const std::string& name);

  private:
    std::unique_ptr<CGlobalConfigDataType> global_;
    std::vector<std::unique_ptr<CGlobalConfigDataType>> types_;
};

}  // namespace qm::someip
