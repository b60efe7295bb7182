#include "arxml_com/arxml_ecu.h"

namespace qm::arxml {

void ArxmlEcu::Clear() {
    name_.clear();
    number_ = -1;
    longName_.clear();
    description_.clear();
    diagnosticAddress_ = 0;
    isLinMaster_ = false;
    sleepModeSupported_ = false;
    wakeUpOverBusSupported_ = false;
    pduGroups_.Clear();
    txPdus_.Clear();
    rxPdus_.Clear();
    fd_ = CanFdRequirements{};
    wakeUpOverControllerSupported_ = false;
    configuration_ = CanConfigurationRequirements{};
    linMaster_ = LinMasterTiming{};
}

}  // namespace qm::arxml
