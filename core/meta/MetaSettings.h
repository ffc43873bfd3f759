#pragma once
// Settings of the metadata files, as exported variables.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Worlds (".wld") may be loaded from their raw texture form (".tex") when that exists.
CORE_API extern int md_bAllowRawLoading;

} // namespace QuennelEngine
