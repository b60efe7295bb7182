#pragma once
#include <functional>
#include <string>
#include <vector>

#include "dbc/dbc_attribute.h"
#include "quillmere/dbc.h"

namespace qm::dbc {

class DbcMessage;
class DbcSignal;

// An ECU of the network, with the messages it sends and the signals it receives.
class DbcNode : public IDbcNode {
  public:
    // Told about every attribute of the node before it is destroyed, so that a relation
    // attribute can be taken out of the list of the object it names.
    using UnregisterCallback = std::function<void(DbcAttribute*)>;

    DbcNode(std::string name, UnregisterCallback unregister)
        : unregister_(std::move(unregister)), name_(std::move(name)) {}
    DbcNode(const DbcNode&) = delete;
    DbcNode& operator=(const DbcNode&) = delete;
    ~DbcNode() override;

    void Clear() override;
    const char* GetName() override { return name_.c_str(); }
    const char* GetComment() override { return comment_.c_str(); }
    uint64_t GetAttributeCount() override { return attributes_.Count(); }
    IDbcAttribute* GetAttribute(uint64_t index) override { return attributes_.At(index); }
    IDbcAttribute* FindAttribute(const char* name) override { return attributes_.Find(name); }
    uint64_t GetTxMessageCount() override { return txMessages_.size(); }
    IDbcMessage* GetTxMessage(uint64_t index) override;
    IDbcMessage* FindTxMessage(const char* name) override;
    uint64_t GetRxSignalCount() override { return rxSignals_.size(); }
    IDbcSignal* GetRxSignal(uint64_t index) override;
    IDbcSignal* FindRxSignal(const char* name) override;
    uint64_t GetRxMessageCount() override { return rxSignals_.size(); }
    IDbcMessage* GetRxMessage(uint64_t index) override;
    IDbcMessage* FindRxMessage(const char* name) override;

    const std::string& Name() const { return name_; }
    const std::string& Comment() const { return comment_; }
    void SetComment(std::string comment) { comment_ = std::move(comment); }
    DbcAttributeList& Attributes() { return attributes_; }
    const DbcAttributeList& Attributes() const { return attributes_; }
    std::vector<DbcMessage*>& TxMessages() { return txMessages_; }
    // Lists a received signal; the message it belongs to is listed with it.
    void AddRxSignal(DbcSignal* signal);
    // Gives back the room the lists grew into while a file was read.
    void TrimLists();

  private:
    UnregisterCallback unregister_;
    std::string name_;
    std::string comment_;
    DbcAttributeList attributes_;
    std::vector<DbcMessage*> txMessages_;
    // The received messages are those of the received signals, one entry per signal: they are
    // looked up through the signal rather than kept in a second list of the same length.
    std::vector<DbcSignal*> rxSignals_;
};

}  // namespace qm::dbc
