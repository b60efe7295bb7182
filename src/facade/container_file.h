#pragma once
// Writing the container document: the text SaveFile would write, put in place through the
// platform's atomic replace, so that a failed save leaves the previous file as it was.
class NanoXML;

namespace qm::facade {

// True when the whole document was written; on failure the previous file is untouched and the
// error line of SaveFile is in the XML message log.
bool WriteContainerFile(const NanoXML& root, const char* path);

}  // namespace qm::facade
