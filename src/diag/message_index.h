#pragma once
// The messages of one ECU indexed by their constant leading bytes (service identifier,
// sub-function, identifier), so that finding which request or response some bytes are tries
// only the messages that start the same way instead of every message of the ECU.
#include <cstddef>
#include <cstdint>
#include <vector>

#include "diag/diag_function.h"
#include "quillmere/diag.h"

namespace qm::diag {

// One request or response of a service (or a global negative response: service null).
struct IndexedMessage {
    uint64_t key = 0;       // the leading constant bytes, packed (see MessageIndex)
    uint32_t ordinal = 0;   // the message's place in the ECU's order
    const char* kind = "";  // "request", "positiveResponse", "negativeResponse"
    IUDSService* service = nullptr;
    CUDSFunction* function = nullptr;
};

class MessageIndex {
  public:
    explicit MessageIndex(IECU& ecu);

    // The best message of the ECU's services for the bytes (the first of the highest score,
    // in the ECU's order), or null when none matches with a positive score.
    const IndexedMessage* Best(const uint8_t* data, size_t size, int64_t* score = nullptr) const;
    // The best of the ECU's global negative responses, or null.
    const IndexedMessage* BestGlobalNegative(const uint8_t* data, size_t size,
                                             int64_t* score = nullptr) const;
    // The first service whose request has that service identifier, or null.
    IUDSService* ServiceWithId(uint8_t serviceId) const;
    // Every message of the services, in the ECU's order.
    const std::vector<IndexedMessage>& Messages() const { return messages_; }

    // Leading constant bytes that make a message's key at most.
    static constexpr size_t kMaxKeyBytes = 7;

  private:
    void Add(IUDSService* service, IUDSFunction* function, const char* kind);
    void MakeKeys();

    std::vector<IndexedMessage> messages_;
    std::vector<IndexedMessage> globalNegatives_;
    // (key, message number) sorted. A key packs its length into the top byte and its bytes
    // below it, so that one search per length finds the messages whose key the bytes start with.
    std::vector<std::pair<uint64_t, uint32_t>> keys_;
};

// The bytes the message's leading constants fix, from byte 0 on without a gap (at most
// MessageIndex::kMaxKeyBytes, written to `key`); returns their number. A message matches only
// bytes that start with them: they are constants the match compares.
size_t LeadingConstantBytes(const CUDSFunction& function, uint8_t* key);

}  // namespace qm::diag
