#pragma once
// Shared by the resources' own sources: entering and leaving the stock (under its mutex).
namespace QuennelEngine {

class CResourceFile;

namespace ResourcesPrivate {
void EnterStock(CResourceFile *prf);
void LeaveStock(CResourceFile *prf);
} // namespace ResourcesPrivate

} // namespace QuennelEngine
