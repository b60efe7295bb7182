// Fuzz target of the ARXML communication reader: any bytes are parsed, their references
// resolved and the document read into the model by the exact reader and by whole-document
// reading; each model is then walked through its interfaces, and each PDU made a frame codec
// that decodes the input's first bytes and encodes its defaults (containers lay their PDUs
// out by the headers of a payload).
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <string>

#include "arxml_com/arxml_reader.h"
#include "codec_models/model_codecs.h"
#include "xml/reference_resolver.h"

namespace {

// Touches every object the reader made, as a host walking the model would.
size_t WalkModel(qm::arxml::OwnedNamedList<qm::arxml::ArxmlCluster>& clusters,
                 qm::arxml::OwnedNamedList<qm::arxml::ArxmlPdu>& pdus) {
    size_t seen = 0;
    for (auto* cluster : clusters.Items()) {
        for (uint64_t e = 0; e < cluster->GetEcuCount(); ++e) {
            IArxmlEcu* ecu = cluster->GetEcu(e);
            seen += ecu->GetTxPduCount() + ecu->GetRxPduCount();
            for (uint64_t g = 0; g < ecu->GetPduGroupCount(); ++g) {
                seen += ecu->GetPduGroup(g)->GetPduCount();
            }
        }
        seen += cluster->GetPduCount() + (cluster->FindPdu(cluster->GetName()) != nullptr);
    }
    for (auto* pdu : pdus.Items()) {
        for (uint64_t s = 0; s < pdu->GetSignalCount(); ++s) {
            IArxmlSignal* signal = pdu->GetSignal(s);
            seen += signal->GetCompuEntryCount() + (signal->FindCompuEntry(1.0) != nullptr);
            seen += signal->GetPdu() == pdu;
        }
        for (uint64_t g = 0; g < pdu->GetSignalGroupCount(); ++g) {
            seen += pdu->GetSignalGroup(g)->GetSignalCount();
        }
    }
    return seen;
}

// Decodes the input's first bytes (up to the frame's size) with every PDU's codec.
size_t DecodeWithCodecs(qm::arxml::OwnedNamedList<qm::arxml::ArxmlPdu>& pdus, const uint8_t* data,
                        size_t size) {
    size_t seen = 0;
    for (auto* pdu : pdus.Items()) {
        const auto codec = qm::codec::BuildArxmlFrame(*pdu);
        codec->Decode(data, std::min(size, codec->size), [&](size_t, uint64_t) { ++seen; });
        try {
            seen += codec->Encode({}, false).size();
        } catch (const qm::codec::CodecError&) {
        }
    }
    return seen;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const std::string text(reinterpret_cast<const char*>(data), size);
    NanoXML root;
    qm::xml::ArxmlReferenceResolver resolver;
    root.onChildParsed = resolver.MakeCallback();
    root.Parse(text.c_str(), false, text.size(), 0, 0);
    resolver.Resolve(&root, 2);

    for (const int32_t mode : {kArxmlReadExact, kArxmlReadWholeDocument}) {
        qm::arxml::OwnedNamedList<qm::arxml::ArxmlPdu> pdus;
        qm::arxml::OwnedNamedList<qm::arxml::ArxmlCluster> clusters;
        std::string messages;
        qm::arxml::AutosarVersion version{};
        qm::arxml::ArxmlReader reader({pdus, clusters, messages, version});
        reader.SetReadingMode(mode);
        reader.ReadDocument(&root);
        WalkModel(clusters, pdus);
        DecodeWithCodecs(pdus, data, size);
        // Clusters list PDUs: they go first.
        clusters.Clear();
        pdus.Clear();
    }

    // The process-wide log would otherwise grow with every input.
    NanoXML::ClearMessageLog();
    return 0;
}
