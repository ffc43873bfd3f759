#pragma once
// Shared by the resources' own sources: entering and leaving the stock (under its mutex).
namespace QuennelEngine {

class CResourceFile;
class CString;

namespace ResourcesPrivate {
void EnterStock(CResourceFile *prf);
void LeaveStock(CResourceFile *prf);
// Whether the calling thread is loading the file of that (resolved) path.
bool IsFileLoadingOnThisThread(const CString &strPath);
} // namespace ResourcesPrivate

} // namespace QuennelEngine
