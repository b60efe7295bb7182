#pragma once
// The extraction steps of a load, each a function over the merged element tree.
#include <cstdint>
#include <memory>
#include <string>
#include <unordered_map>
#include <vector>

#include "quillmere/xml.h"
#include "someip/data_types.h"
#include "someip/ecu.h"
#include "someip/ethernet_model.h"
#include "someip/owned_items.h"

namespace qm::someip {

struct TreeSurvey;

// Merges sibling AR-PACKAGE elements of the same SHORT-NAME into the first of them, so that
// several files read into one root read as one description. Siblings are the packages of one
// element's AR-PACKAGES lists (all of them) or its direct AR-PACKAGE children. A merged
// package's children (but its SHORT-NAME) move to the first one in order; its ELEMENTS and
// AR-PACKAGES lists join the first one's lists of that name (elements are appended, never
// merged). What was emptied leaves the tree into `remnants` and links to what it joined, so
// that references to it reach the merged package.
// The walk of the merge visits every element of the merged tree in pre-order once its children
// are final; when `survey` is given, it is filled on that walk.
void MergePackages(NanoXML* root, std::vector<std::unique_ptr<NanoXML>>& remnants,
                   TreeSurvey* survey = nullptr);

// What the extraction steps look for anywhere in the merged tree, gathered on the package
// merge's pre-order walk instead of one walk per step.
struct TreeSurvey {
    // The package of every SHORT-NAME "riz" under an AR-PACKAGE (a match is not searched
    // further); services are read only when there is exactly one.
    std::vector<NanoXML*> rizPackages;
    // Every ETHERNET-CLUSTER that is not inside another one.
    std::vector<const NanoXML*> ethernetClusters;
    // The elements below the root.
    size_t elementCount = 0;
    // For every element an I-PDU-REF of a PDU-TRIGGERING leads to, the first such triggering.
    std::unordered_map<const NanoXML*, const NanoXML*> triggeringOfPdu;

    // Takes one element in pre-order; `below` carries what its ancestors' visits returned
    // (0 for the root), and the return value is what its children are visited with.
    uint8_t Visit(NanoXML* node, bool isRoot, uint8_t below);
};

// ECUs of the top-level "ECU" packages with their PDU groups.
void ReadEcus(NanoXML* root, const TreeSurvey& survey, OwnedItems<CEcu>& ecus);
// Fills one PDU group from its I-SIGNAL-I-PDU-GROUP element; each PDU gets the triggering the
// survey found for it.
void ReadPduGroup(CNode& group, const NanoXML* element, const TreeSurvey& survey);
// The PDU triggering model of one PDU-TRIGGERING element.
std::unique_ptr<CPduTriggering> ReadPduTriggering(const NanoXML* element);
// The first AR-PACKAGE named `name` at or below `under` (pre-order), or null.
const NanoXML* FindPackage(const NanoXML* under, const std::string& name);
// The AR-PACKAGE named `name` among the sub-packages of `package` (its AR-PACKAGES lists).
const NanoXML* SubPackage(const NanoXML* package, const std::string& name);
// The sub-packages of a package, in order.
std::vector<const NanoXML*> SubPackages(const NanoXML* package);

// Service configurations of the "riz" package on the first ECU; returns its message lines.
std::string ReadServices(NanoXML* root, const TreeSurvey& survey, CEcu* firstEcu);

// The data type steps; each returns its warning lines.
std::string ReadAraTypes(NanoXML* root, CRizConfig& riz);
std::string ReadRizStandardTypes(const TreeSurvey& survey, CRizConfig& riz);
// wholeDocument: a service package without a service is named in a warning, and a structure
// used as an array element comes before its user (so that the header compiles); else reading
// order and no such warning, as described.
std::string ReadServiceStructures(const TreeSurvey& survey, CEcu* firstEcu, bool wholeDocument);
std::string ReadServiceConfigurations(const TreeSurvey& survey,
                                      std::vector<std::unique_ptr<CGlobalConfigDataType>>& out);

// Ethernet clusters of the survey: outside the "Cluster" packages (inClusterPackage false) or
// inside them (true).
void ReadEthernetClusters(const TreeSurvey& survey, CCluster& container, bool inClusterPackage);

}  // namespace qm::someip
