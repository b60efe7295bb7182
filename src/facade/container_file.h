#pragma once
// Writing the container document: the text SaveFile would write, put in place through the
// platform's atomic replace, so that a failed save leaves the previous file as it was.
#include <functional>
#include <vector>

class NanoXML;

namespace qm::facade {

// Makes one element of the frame; the writer owns and destroys it.
using ElementMaker = std::function<NanoXML*()>;

// Writes "KOVR" / "Quillmere" holding the element of each maker, in order, byte for byte as
// SaveFile writes the whole tree. Each element is made, written and destroyed before the next
// is made, so that only one of them and its text are held at a time. True when the whole
// document was written; on failure the previous file is untouched and the error line of SaveFile
// is in the XML message log.
bool WriteContainerFile(const std::vector<ElementMaker>& makers, const char* path);

}  // namespace qm::facade
