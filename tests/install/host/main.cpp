// A tiny host: creates a facade, reads its info element and version, and deletes it.
#include <quillmere/quillmere.h>

#include <cstdio>

int main() {
    IQuillmere* facade = CreateQuillmereInstance();
    if (facade == nullptr) return 1;
    NanoXML* info = facade->GetXml();
    if (info == nullptr || info->name != "Quillmere") return 2;
    std::printf("%s %s\n", facade->GetVersion(), info->GetAttribute("BuildDate").c_str());
    bool deleted = DeleteQuillmereInstance(facade);
    bool again = DeleteQuillmereInstance(facade);
    return deleted && !again ? 0 : 3;
}
