#pragma once
// A DBC file seen from Python: the file object, its text rule, and the frame plans and the
// identifier index built on first use and dropped by every edit.
#include <memory>
#include <string>
#include <unordered_map>

#include "plan_source.h"

namespace qmpy {

class DbcDocument : public PlanSource {
  public:
    INetConfigDbcFile* file = nullptr;
    // Decoding and encoding name frames and signals by their DBC long names where the file
    // gives them (cantools' names); the model keeps the names as written.
    bool longNames = true;

    const FramePlan& PlanForKey(const py::handle& key) override;
    const FramePlan* PlanForFrame(uint32_t id, bool extended) override;
    std::shared_ptr<const LogColumnLayout> ColumnsForFrame(uint32_t id, bool extended) override;

    // The first message of a raw identifier; an identifier without the extended flag also
    // finds the extended message of the same number, as candump writes it.
    IDbcMessage* MessageById(uint32_t id);
    IDbcMessage* MessageByName(const py::handle& name);
    IDbcSignal* SignalByName(IDbcMessage* message, const py::handle& name);
    const FramePlan& PlanFor(IDbcMessage* message);
    // Edits change identifiers, names and layouts.
    void Invalidate();

  private:
    std::unique_ptr<qm::codec::FrameCodec> CodecOf(IDbcMessage* message) const;
    // A message by the long name its attribute gives (a name the file does not write).
    IDbcMessage* MessageByLongName(const py::handle& name);

    std::unordered_map<uint32_t, IDbcMessage*> byId_;
    bool indexed_ = false;
    std::unordered_map<std::string, IDbcMessage*> byLongName_;  // filled on first use
    bool longNamesIndexed_ = false;
    std::unordered_map<IDbcMessage*, std::unique_ptr<FramePlan>> plans_;
    // Column layouts of messages a log met that have no plan (LeanColumns).
    std::unordered_map<IDbcMessage*, std::shared_ptr<const LogColumnLayout>> columns_;
};

void BindDbc(py::module_& m);

}  // namespace qmpy
