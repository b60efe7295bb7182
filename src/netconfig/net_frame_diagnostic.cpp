#include "netconfig/net_frame_diagnostic.h"

void NetFrameDiagnostic::Clear() {
    messages_.Clear();
    signals_.Clear();
}

void NetFrameDiagnostic::AddMessage(INetMessage* message) {
    messages_.Insert(message);
}

// The same insertion under a second name.
void NetFrameDiagnostic::AddFrame(INetMessage* message) {
    AddMessage(message);
}

void NetFrameDiagnostic::AddSignal(INetSignal* signal) {
    signals_.Insert(signal);
}
