#pragma once
// Everything a host needs: the facade, the XML node and the object interfaces.
#include "quillmere/export.h"
#include "quillmere/arxml_com.h"
#include "quillmere/dbc.h"
#include "quillmere/diag.h"
#include "quillmere/facade.h"
#include "quillmere/ldf.h"
#include "quillmere/netconfig.h"
#include "quillmere/netfile.h"
#include "quillmere/someip.h"
#include "quillmere/xml.h"
