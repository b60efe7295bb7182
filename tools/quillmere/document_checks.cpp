#include "document_checks.h"

#include <algorithm>

#include "xml/xml_state.h"

namespace qmtool {

void ForgetDocumentEnds() {
    qm::xml::TakeTruncatedDocuments();
    qm::xml::RecordDocumentEnd(qm::xml::DocumentEnd{});
}

DocumentFindings ExamineDocuments(const std::string& kindName,
                                  const std::vector<std::string>& roots, bool singleDocument) {
    DocumentFindings findings;
    findings.warnings = qm::xml::TakeTruncatedDocuments();
    if (!singleDocument) return findings;
    const qm::xml::DocumentEnd& last = qm::xml::LastDocumentEnd();
    if (last.empty) {
        findings.empty = true;
        findings.warnings.insert(findings.warnings.begin(), "the file is empty");
        return findings;
    }
    if (!last.rootFound || last.rootName.empty()) {
        findings.refusal = "not " + kindName + " file: no XML element found";
    } else if (!roots.empty() &&
               std::find(roots.begin(), roots.end(), last.rootName) == roots.end()) {
        findings.refusal =
            "not " + kindName + " file: the root element is <" + last.rootName.substr(0, 256) + ">";
    }
    return findings;
}

void ApplyFindings(const DocumentFindings& findings, CheckResult& result) {
    if (!findings.refusal.empty()) {
        result.messages.push_back(findings.refusal);
        result.exitCode = kCheckFailed;
        result.status = "failed";
    }
    for (const std::string& line : findings.warnings) result.messages.push_back(line);
    if (!findings.warnings.empty())
        result.exitCode = std::max<int>(result.exitCode, kCheckWarnings);
    if (findings.empty) {
        result.exitCode = kCheckWarnings;
        result.status = "empty";
    }
}

}  // namespace qmtool
