// The container form of a network configuration: one "NetConfig" element holding the DBC or LDF
// container element of every CAN and LIN bus. The model is not stored; it is rebuilt on import
// by the conversions a file load runs, from file objects restored from the elements.
#include <algorithm>
#include <memory>
#include <vector>

#include "dbc/dbc_container.h"
#include "dbc/netconfig_dbc_file.h"
#include "ldf/ldf_container.h"
#include "ldf/netconfig_ldf_file.h"
#include "netconfig/dbc_conversion.h"
#include "netconfig/ldf_conversion.h"
#include "netconfig/net_config.h"
#include "quillmere/xml.h"

NanoXML* NetConfig::ExportContainer() {
    auto* element = new NanoXML("NetConfig", "", 0);
    for (const auto& database : databases_) {
        // Databases built from ARXML have no source file: GetLdfFile and GetDbcFile generate one
        // from the model, so they are stored as DBC or LDF content.
        if (database->GetBusType() == kNetBusLin) {
            if (auto* file = dynamic_cast<NetConfigLdfFile*>(database->GetLdfFile())) {
                element->AddChild(qm::ldf::BuildLdfContainer(file->Model()));
            }
        } else if (database->GetBusType() == kNetBusCan) {
            if (auto* file = dynamic_cast<NetConfigDbcFile*>(database->GetDbcFile())) {
                element->AddChild(qm::dbc::ExportDbcContainer(*file));
            }
        }
    }
    return element;
}

namespace {

// Takes the element out of the tree it was read into, so that adopting it elsewhere leaves it
// exactly one owner.
NanoXML* Detach(NanoXML* element) {
    if (NanoXML* parent = element->parent) {
        auto& siblings = parent->children;
        siblings.erase(std::find(siblings.begin(), siblings.end(), element));
        element->parent = nullptr;
    }
    return element;
}

}  // namespace

bool NetConfig::ImportContainer(NanoXML* element) {
    if (element == nullptr || element->name != "NetConfig") return true;
    // LIN buses are rebuilt before CAN buses, whatever the stored order.
    std::vector<NanoXML*> ldfElements;
    std::vector<NanoXML*> dbcElements;
    element->FindAll(ldfElements, "LDF", "", "", "", "", 1);
    element->FindAll(dbcElements, "DBC", "", "", "", "", 1);
    for (NanoXML* ldf : ldfElements) {
        xml_->AddChild(Detach(ldf));
        auto* file = new NetConfigLdfFile();
        files_.emplace_back(file);
        qm::ldf::FillLdfFromContainer(*file, ldf);
        auto database = std::make_unique<NetDataBase>();
        qm::net::ConvertLdfFile(*file, *database);
        fileFlag_ = file->GetLastLoadResult();
        databases_.push_back(std::move(database));
    }
    for (NanoXML* dbc : dbcElements) {
        xml_->AddChild(Detach(dbc));
        auto* file = new NetConfigDbcFile();
        files_.emplace_back(file);
        qm::dbc::ImportDbcContainer(*file, dbc);
        auto database = std::make_unique<NetDataBase>();
        qm::net::ConvertDbcFile(*file, *database);
        fileFlag_ = static_cast<int>(file->LastHandlerResult());
        databases_.push_back(std::move(database));
    }
    return true;
}
