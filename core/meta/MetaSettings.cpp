#include "core/meta/MetaSettings.h"

namespace QuennelEngine {

int md_bAllowRawLoading = 1;

} // namespace QuennelEngine
