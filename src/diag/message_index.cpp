#include "diag/message_index.h"

#include <algorithm>

#include "diag/diag_codec.h"
#include "diag/diag_ecu.h"
#include "diag/diag_service.h"

namespace qm::diag {

namespace {

uint64_t PackKey(const uint8_t* bytes, size_t length) {
    uint64_t key = uint64_t{length} << 56;
    for (size_t i = 0; i < length; ++i) key |= uint64_t{bytes[i]} << (8 * (6 - i));
    return key;
}

void Prefetch(const void* address) {
    // An asm statement: GCC dropped __builtin_prefetch from these loops at -O3.
    asm volatile("prefetcht0 %0" : : "m"(*static_cast<const char*>(address)));
}

void PrefetchObject(const void* object, size_t bytes) {
    const char* at = static_cast<const char*>(object);
    for (size_t offset = 0; offset < bytes; offset += 64) Prefetch(at + offset);
}

// The parameters a key is made of: the leading few.
constexpr size_t kKeyParams = 3;

// The functions, their parameter lists and leading parameters lie scattered through the model
// and each is a cache miss: they are fetched in stages ahead of the work, so that the misses
// of several messages overlap. `at(i)` gives the ith message in the order of the work.
template <typename At>
void PrefetchAhead(size_t i, size_t count, At at) {
    constexpr size_t kFunctionsAhead = 24, kListsAhead = 16, kParamsAhead = 8;
    if (i + kFunctionsAhead < count) PrefetchObject(at(i + kFunctionsAhead), sizeof(CUDSFunction));
    if (i + kListsAhead < count) Prefetch(at(i + kListsAhead)->params.data());
    if (i + kParamsAhead < count) {
        const auto& params = at(i + kParamsAhead)->params;
        for (size_t p = 0; p < std::min(params.size(), kKeyParams); ++p)
            PrefetchObject(params[p].get(), sizeof(CParam));
    }
}

bool HasMatchingRequestParam(const CUDSFunction& function) {
    for (const auto& param : function.params) {
        if (param->lengthKind == CParam::kLengthMatchingRequest) return true;
    }
    return false;
}

bool IsRequest(const IndexedMessage& message) {
    return message.service != nullptr &&
           message.function == dynamic_cast<CUDSFunction*>(message.service->GetRequest(0));
}

}  // namespace

MessageIndex::MessageIndex(IECU& ecu) {
    // Room for a request and two responses a service; pages beyond what is used stay untouched.
    size_t services = 0;
    for (uint64_t c = 0; c < ecu.GetFunctionalClassCount(); ++c)
        services += ecu.GetFunctionalClass(c)->GetServiceCount();
    messages_.reserve(services * 3 + 16);
    for (uint64_t c = 0; c < ecu.GetFunctionalClassCount(); ++c) {
        IFunctionalClass* cls = ecu.GetFunctionalClass(c);
        const uint64_t count = cls->GetServiceCount();
        for (uint64_t s = 0; s < count; ++s) {
            if (s + 4 < count) PrefetchObject(cls->GetService(s + 4), sizeof(CUDSService));
            IUDSService* service = cls->GetService(s);
            if (IUDSFunction* request = service->GetRequest(0)) Add(service, request, "request");
            for (uint64_t i = 0; i < service->GetPositiveResponseCount(); ++i)
                Add(service, service->GetPositiveResponse(i), "positiveResponse");
            for (uint64_t i = 0; i < service->GetNegativeResponseCount(); ++i)
                Add(service, service->GetNegativeResponse(i), "negativeResponse");
        }
    }
    MakeKeys();
    if (auto* globals = dynamic_cast<IECUGlobalResponses*>(&ecu)) {
        for (uint64_t i = 0; i < globals->GetGlobalNegativeResponseCount(); ++i) {
            auto* function = dynamic_cast<CUDSFunction*>(globals->GetGlobalNegativeResponse(i));
            if (function != nullptr)
                globalNegatives_.push_back({0, 0, "negativeResponse", nullptr, function});
        }
    }
}

void MessageIndex::Add(IUDSService* service, IUDSFunction* function, const char* kind) {
    auto* own = dynamic_cast<CUDSFunction*>(function);
    if (own == nullptr) return;
    messages_.push_back({0, static_cast<uint32_t>(messages_.size()), kind, service, own});
}

void MessageIndex::MakeKeys() {
    const size_t count = messages_.size();
    keys_.reserve(count);
    for (size_t i = 0; i < count; ++i) {
        PrefetchAhead(i, count, [this](size_t at) { return messages_[at].function; });
        uint8_t key[kMaxKeyBytes];
        const size_t length = LeadingConstantBytes(*messages_[i].function, key);
        messages_[i].key = PackKey(key, length);
        keys_.emplace_back(messages_[i].key, static_cast<uint32_t>(i));
    }
    std::sort(keys_.begin(), keys_.end());
}

const IndexedMessage* MessageIndex::Best(const uint8_t* data, size_t size, int64_t* score) const {
    // Every message whose key the bytes start with, back in the ECU's order.
    std::vector<uint32_t> candidates;
    for (size_t length = 0; length <= std::min(size, kMaxKeyBytes); ++length) {
        const uint64_t key = PackKey(data, length);
        auto it = std::lower_bound(keys_.begin(), keys_.end(), std::make_pair(key, uint32_t{0}));
        for (; it != keys_.end() && it->first == key; ++it) candidates.push_back(it->second);
    }
    std::sort(candidates.begin(), candidates.end());
    const IndexedMessage* best = nullptr;
    int64_t bestScore = 0;
    const CUDSFunction* madeFor = nullptr;
    std::vector<uint8_t> requestBytes;
    std::vector<const IndexedMessage*> tied;
    for (size_t i = 0; i < candidates.size(); ++i) {
        PrefetchAhead(i, candidates.size(),
                      [&](size_t at) { return messages_[candidates[at]].function; });
        const IndexedMessage& message = messages_[candidates[i]];
        int64_t own = MatchFunction(*message.function, data, size, {});
        // Matching-request parameters compare against the bytes the request's leading
        // constants fix, made only for responses whose constants fit: what follows them in a
        // request is a value that the response echoes, unknown without the request sent.
        if (own >= 0 && HasMatchingRequestParam(*message.function)) {
            auto* request = dynamic_cast<CUDSFunction*>(message.service->GetRequest(0));
            if (request != nullptr && request != message.function) {
                if (madeFor != request) {
                    uint8_t key[kMaxKeyBytes];
                    requestBytes.assign(key, key + LeadingConstantBytes(*request, key));
                }
                madeFor = request;
                own = MatchFunction(*message.function, data, size, requestBytes);
            }
        }
        if (own > bestScore) {
            bestScore = own;
            best = &message;
            tied.clear();
        }
        if (own == bestScore && own > 0) tied.push_back(&message);
    }
    // Messages whose constants fit as well (a sub-function that is a value with texts, not a
    // constant; a request and its longer twin): the first that the bytes fit best.
    if (tied.size() > 1) {
        int bestFit = 0;
        for (const IndexedMessage* message : tied) {
            const int fit = DecodeFit(*message->function, data, size);
            if (fit > bestFit) {
                bestFit = fit;
                best = message;
            }
            if (fit == 2) break;
        }
    }
    if (score != nullptr) *score = bestScore;
    return best;
}

const IndexedMessage* MessageIndex::BestGlobalNegative(const uint8_t* data, size_t size,
                                                       int64_t* score) const {
    const IndexedMessage* best = nullptr;
    int64_t bestScore = 0;
    for (const IndexedMessage& message : globalNegatives_) {
        const int64_t own = MatchFunction(*message.function, data, size, {});
        if (own > bestScore) {
            bestScore = own;
            best = &message;
        }
    }
    if (score != nullptr) *score = bestScore;
    return best;
}

IUDSService* MessageIndex::ServiceWithId(uint8_t serviceId) const {
    for (const IndexedMessage& message : messages_) {
        if (std::string_view(message.kind) == "request" && IsRequest(message) &&
            message.service->GetServiceId() == serviceId)
            return message.service;
    }
    return nullptr;
}

namespace {

class MessageFinder : public IMessageFinder {
  public:
    explicit MessageFinder(IECU& ecu) : index_(ecu) {}
    IUDSFunction* FindMessage(const uint8_t* data, uint64_t size, IUDSService** service,
                              const char** kind, int64_t* score) override {
        const IndexedMessage* found =
            data != nullptr ? index_.Best(data, static_cast<size_t>(size), score) : nullptr;
        if (service != nullptr) *service = found != nullptr ? found->service : nullptr;
        if (kind != nullptr) *kind = found != nullptr ? found->kind : "";
        if (found == nullptr && score != nullptr) *score = 0;
        return found != nullptr ? found->function : nullptr;
    }

  private:
    MessageIndex index_;
};

}  // namespace

}  // namespace qm::diag

IMessageFinder* CECU::CreateMessageFinder() {
    return new qm::diag::MessageFinder(*this);
}
