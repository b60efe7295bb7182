#pragma once
// The load of an ARXML communication file: parse, resolve references, then hand the PDU and
// cluster elements to their section readers in the form of the document's AUTOSAR generation.
#include <array>
#include <cstdint>
#include <string>

#include "arxml_com/arxml_cluster.h"
#include "arxml_com/arxml_pdu.h"
#include "arxml_com/named_list.h"
#include "quillmere/arxml_com.h"
#include "quillmere/xml.h"
#include "xml/xml_state.h"

namespace qm::arxml {

// Major, minor and patch of a document's AUTOSAR version; all 0 when the document names none.
using AutosarVersion = std::array<uint8_t, 3>;

// Reads "4.2.2", "4-2-2" or a release number's digits ("46") into major, minor, patch.
AutosarVersion ParseAutosarVersion(const std::string& text);

// Milliseconds of the load's phases, for measurement.
struct ArxmlLoadTimes {
    uint32_t parse = 0;
    uint32_t resolve = 0;
    uint32_t read = 0;
    size_t references = 0;
};

// What a load fills; owned by the file object.
struct ArxmlReadTarget {
    OwnedNamedList<ArxmlPdu>& pdus;
    OwnedNamedList<ArxmlCluster>& clusters;
    std::string& messages;
    AutosarVersion& version;
};

class ArxmlReader {
  public:
    explicit ArxmlReader(ArxmlReadTarget target) : target_(target) {}

    // Workers of the reference resolution; 0 for the default plan.
    void SetWorkers(unsigned workers) { workers_ = workers; }
    // kArxmlReadExact (the default) or kArxmlReadWholeDocument.
    void SetReadingMode(int32_t mode) { mode_ = mode; }

    // Returns false only when the file cannot be read (whole-document reading: also when it is
    // no AUTOSAR document, with a message naming its root); the model stays empty then.
    bool Load(const std::wstring& path);
    // Reads an already parsed and resolved document (root is the document's root element).
    void ReadDocument(const NanoXML* root);

    const ArxmlLoadTimes& Times() const { return times_; }
    // The frame elements whose data a frame triggering gave to a PDU in the last read.
    uint64_t FramesRead() const { return framesRead_; }

  private:
    // Whole-document reading: true for a root named "AUTOSAR", else false with the message.
    bool IsAutosarDocument(const NanoXML& root, const xml::DocumentEnd& end);

    ArxmlReadTarget target_;
    unsigned workers_ = 0;
    int32_t mode_ = kArxmlReadExact;
    ArxmlLoadTimes times_;
    uint64_t framesRead_ = 0;
};

}  // namespace qm::arxml
