#pragma once
// Recording the stock's contents and comparing with them later: a stock state is the sorted list
// of the stock's file names. One stored state is kept for resDisplayStockDiff.
#include "core/memory/DynamicContainer.h"
#include "core/memory/StaticStackArray.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CResourceFile;

class CORE_API CStockState {
public:
  // The index of the name equal to `strFileName`, or -1.
  long FindFile(const char *strFileName) const;

  CStaticStackArray<CString> ss_astrFiles;
};

// Sorts the files by name (strCompare), ascending.
CORE_API void resSortStockFiles(CDynamicContainer<CResourceFile> &dcFiles);
// Removes every file whose name is in the state.
CORE_API void resFilterStockFiles(CDynamicContainer<CResourceFile> &dcFiles, CStockState *pss);
// A new state with the names of all stock files, sorted; the caller deletes it. Runs in an
// exclusive section, so call it from the main thread.
CORE_API CStockState *resRecordStockState(void);
// Replaces the stored state with a new record, and says so.
CORE_API void resStoreStockState(void);
// Prints the files that are in the stock now and were not in the stored state, each with its
// shared resources.
CORE_API void resDisplayStockDiff(void);
// Forgets the stored state.
CORE_API void resForgetStockState(void);

} // namespace QuennelEngine
