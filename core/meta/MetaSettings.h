#pragma once
// The switches of the metadata: process-wide integers that steer the generic object operations,
// collection and copy, and the metadata files. They are not locked.
#include "core/platform/Platform.h"

namespace QuennelEngine {

// Editor mode: edit data is kept, loaded and saved; files of another program version may load.
CORE_API extern int md_bInEditor;
// Strip edit data when saving, even in the editor.
CORE_API extern int md_bDiscardEditData;
// A copy also duplicates edit objects (otherwise references to them become null).
CORE_API extern int md_bCopyEditData;
// Save structure and member aliases instead of names where an alias exists.
CORE_API extern int md_bSaveAliases;
// Save metadata in the text form instead of binary.
CORE_API extern int md_bSaveTextFiles;
// Resource proxies resolve to their resource (off while saving and copying).
CORE_API extern int md_bResolveProxies;
// Exposed resources are treated like shared ones (referenced, not copied or embedded).
CORE_API extern int md_bShareExposedObjects;
// A copy keeps every resource external.
CORE_API extern int md_bForceResourcesAsExtern;
// The collection runs for a copy.
CORE_API extern int md_bCollectForCopying;
// A copy retains objects reached through references that do not own them.
CORE_API extern int md_bCopyRetainsAll;
// A copy for the clipboard skips members that are not for it.
CORE_API extern int md_bCopyClipboard;
// Set while a resource file's objects are collected to be cleared.
CORE_API extern int md_bCollectingForClear;
// A copied handle whose target has no copy keeps the source's value (otherwise it becomes 0).
CORE_API extern int md_bCopyExternalHandles;
// Arrays of plain elements may be read as one raw block; worlds (".wld") may also be loaded from
// their raw texture form (".tex") when that exists.
CORE_API extern int md_bAllowRawLoading;
// Read by the resource loader.
CORE_API extern int md_bPrecaching;
// Type names in files may differ in letter case from the registered names.
CORE_API extern int md_bLoadMiscasedTypes;
// Report load time and sizes after each load.
CORE_API extern int md_bReportReadStats;
// Report the objects that a load deletes as unused.
CORE_API extern int md_iReportUnusedObjects;
// Platform whose file-name rules apply to saved file names (-1: none).
CORE_API extern int md_plaTargetPlatformForSaving;
// Bytes counted by the last collection.
CORE_API extern long md_slCollectedBytes;

} // namespace QuennelEngine
