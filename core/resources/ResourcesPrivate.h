#pragma once
// Shared by the resources' own sources: entering and leaving the stock, and the stock list
// itself (under the stock mutex).
#include "core/memory/DynamicContainer.h"

namespace QuennelEngine {

class CResourceFile;
class CString;

namespace ResourcesPrivate {
void EnterStock(CResourceFile *prf);
void LeaveStock(CResourceFile *prf);
// Whether the calling thread is loading the file of that (resolved) path.
bool IsFileLoadingOnThisThread(const CString &strPath);
// The stock list, in the order the files entered; read and keep it only under the stock mutex.
const CDynamicContainer<CResourceFile> &StockFiles(void);
} // namespace ResourcesPrivate

} // namespace QuennelEngine
