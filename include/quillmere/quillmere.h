#pragma once
// Everything a host needs: the facade, the XML node and the object interfaces.
#include "quillmere/export.h"
#include "quillmere/facade.h"
#include "quillmere/netfile.h"
#include "quillmere/xml.h"
