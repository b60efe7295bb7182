#pragma once
// The extraction steps of a load, each a function over the merged element tree.
#include <memory>
#include <string>
#include <vector>

#include "quillmere/xml.h"
#include "someip/data_types.h"
#include "someip/ecu.h"
#include "someip/ethernet_model.h"
#include "someip/owned_items.h"

namespace qm::someip {

// Merges sibling AR-PACKAGE elements of the same SHORT-NAME into the first of them, so that
// several files read into one root read as one description. Siblings are the packages of one
// element's AR-PACKAGES lists (all of them) or its direct AR-PACKAGE children. A merged
// package's children (but its SHORT-NAME) move to the first one in order; its ELEMENTS and
// AR-PACKAGES lists join the first one's lists of that name (elements are appended, never
// merged). What was emptied leaves the tree into `remnants` and links to what it joined, so
// that references to it reach the merged package.
void MergePackages(NanoXML* root, std::vector<std::unique_ptr<NanoXML>>& remnants);

// ECUs of the top-level "ECU" packages with their PDU groups.
void ReadEcus(NanoXML* root, OwnedItems<CEcu>& ecus);
// Fills one PDU group from its I-SIGNAL-I-PDU-GROUP element.
void ReadPduGroup(CNode& group, const NanoXML* element);

// The package of every SHORT-NAME "riz" under an AR-PACKAGE; services are read only when there
// is exactly one.
std::vector<NanoXML*> RizPackages(NanoXML* root);
// The first AR-PACKAGE named `name` at or below `under` (pre-order), or null.
const NanoXML* FindPackage(const NanoXML* under, const std::string& name);
// The AR-PACKAGE named `name` among the sub-packages of `package` (its AR-PACKAGES lists).
const NanoXML* SubPackage(const NanoXML* package, const std::string& name);
// The sub-packages of a package, in order.
std::vector<const NanoXML*> SubPackages(const NanoXML* package);

// Service configurations of the "riz" package on the first ECU; returns its message lines.
std::string ReadServices(NanoXML* root, CEcu* firstEcu);

// The data type steps; each returns its warning lines.
std::string ReadAraTypes(NanoXML* root, CRizConfig& riz);
std::string ReadRizStandardTypes(NanoXML* root, CRizConfig& riz);
std::string ReadServiceStructures(NanoXML* root, CEcu* firstEcu);
std::string ReadServiceConfigurations(NanoXML* root,
                                      std::vector<std::unique_ptr<CGlobalConfigDataType>>& out);

// Ethernet clusters: outside the "Cluster" packages (inPackage false) or inside them (true).
void ReadEthernetClusters(NanoXML* root, CCluster& container, bool inClusterPackage);

}  // namespace qm::someip
