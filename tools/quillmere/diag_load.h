#pragma once
// Loading a diagnostic path for the tool's commands (CDD, ODX, PDX, folder), shared by the
// diagnostic format and the diagnostic commands (encode-request, decode-diag).
#include <string>

#include "diag/diagnose_lib.h"
#include "exit_owned.h"
#include "format.h"

namespace qmtool {

// What a diagnostic path is: a CDD file, an ODX file, a PDX archive or a folder of ODX files.
enum class DiagKind { kCdd, kOdx, kPdx, kFolder };

struct LoadedCdd {
    ExitOwned<CDiagnoseLib> library = MakeExitOwned<CDiagnoseLib>();
    DiagKind kind = DiagKind::kCdd;
    bool ok = false;
    // What the build wrote to the process-wide XML message log during this load.
    std::string xmlLog;
};

// Loads and builds (as written unless --exact); ok tells whether the load succeeded.
LoadedCdd LoadCdd(const std::string& path, const Options& options);
// The same; throws ToolError when the path cannot be read.
LoadedCdd Require(const std::string& path, const Options& options);
// By short name, long name or qualifier; a name typed in UTF-8 also finds its Latin-1 form.
IECU* FindEcu(CDiagnoseLib& library, const std::string& name);
// By name or qualifier, the first over the classes.
IUDSService* FindService(IECU* ecu, const std::string& name);

}  // namespace qmtool
