#pragma once
// The XML formats tell an empty, foreign or cut document from a whole one: the library's XML
// reader reads all three without a word (it keeps the tree read so far), so the tool asks how
// each document ended and turns that into check lines.
#include <string>
#include <vector>

#include "format.h"

namespace qmtool {

// Call before a load: forgets the documents read before.
void ForgetDocumentEnds();

struct DocumentFindings {
    // "the file is empty", "<path>: document ends inside <X> at line N", one per cut document.
    std::vector<std::string> warnings;
    // "not a CDD file: the root element is <X>" when the document is of another kind; "" else.
    std::string refusal;
    // The one document read was empty: a warning, even where the load then failed.
    bool empty = false;
};

// What the documents read since ForgetDocumentEnds show. For a load of one document
// (singleDocument), an empty file is a warning and a document whose root is none of roots is
// refused (no roots: any element will do); kindName names the format in the refusal ("a CDD",
// "an ODX"). A load of many documents (an archive, a folder) only reports the cut ones.
DocumentFindings ExamineDocuments(const std::string& kindName,
                                  const std::vector<std::string>& roots, bool singleDocument);

// Adds the findings to a check: a refusal fails it (exit 2), warnings make it exit at least 1,
// an empty file exits 1 even when the load failed on it.
void ApplyFindings(const DocumentFindings& findings, CheckResult& result);

}  // namespace qmtool
