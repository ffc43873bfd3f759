#include "core/meta/MetaSettings.h"

namespace QuennelEngine {

int md_bInEditor = 0;
int md_bDiscardEditData = 0;
int md_bCopyEditData = 1;
int md_bSaveAliases = 1;
int md_bSaveTextFiles = 0;
int md_bResolveProxies = 1;
int md_bShareExposedObjects = 0;
int md_bForceResourcesAsExtern = 0;
int md_bCollectForCopying = 0;
int md_bCopyRetainsAll = 0;
int md_bCopyClipboard = 0;
int md_bCollectingForClear = 0;
int md_bCopyExternalHandles = 0;
int md_bAllowRawLoading = 1;
int md_bPrecaching = 1;
int md_bLoadMiscasedTypes = 0;
int md_bReportReadStats = 0;
int md_iReportUnusedObjects = 1;
int md_plaTargetPlatformForSaving = -1;
long md_slCollectedBytes = 0;

} // namespace QuennelEngine
