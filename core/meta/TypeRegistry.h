#pragma once
// The registry of type descriptors: every descriptor of the program by name (and structures by
// alias), the check that completes them once a batch is registered, derived-class queries, named
// data instances and the declared modules. Everything here takes the meta mutex, but for a
// look-up of a registered name.
#include "core/memory/DynamicContainer.h"
#include "core/memory/PointerMap.h"
#include "core/meta/DataTypeKinds.h"

namespace QuennelEngine {

class CSyncMutex;

// The meta mutex (recursive): the registry, data instances and enum lookups take it.
CORE_API CSyncMutex *mdGetMetaMutex(void);
// Every registered descriptor, in registration order. Hold the meta mutex while reading it.
CORE_API CDynamicContainer<CDataType> &mdGetAllNamedTypes(void);

// Adds a descriptor to the list and the name table (and a structure with a valid alias to the
// alias table). Duplicates are accepted here and reported by mdUpdateTypeTables. A type whose
// operations hold some but not all of Read, Write and Skip is reported and marked failed.
CORE_API void mdRegister(CDataType *pdt);
// Removes a registered descriptor (nothing for one that is not). Every reference to it held by
// other registered descriptors forgets its pointer and keeps its name, so nothing points into a
// module that unloads; a type registered again under the name is found again.
CORE_API void mdUnregister(CDataType *pdt);
// The registry's name table, which mdFindByName searches in the caller without a lock (null
// before the first registration); for that search only.
CORE_API extern const CPointerMap *_md_ppmTypeNames;
// mdFindByName's way when the name is not an identifier of a registered type or a change to the
// registry was under way (`bSettled`: the name's own search was undisturbed).
CORE_API CDataType *mdFindByNameRest(IDENT idName, bool bSettled);

// The descriptor of a name, or null (also for null or empty text). An identifier and a text are
// both `const char *`; either may be passed (an identifier is found without interning). Inline:
// a look-up of a registered identifier is a probe of the name table, without a call or a lock.
inline CDataType *mdFindByName(IDENT idName)
{
  const CPointerMap *ppm = __atomic_load_n(&_md_ppmTypeNames, __ATOMIC_ACQUIRE);
  void *pv = nullptr;
  const bool bSettled = ppm != nullptr && ppm->TryFind(idName, pv);
  if (bSettled && pv != nullptr && idName[0] != 0) return (CDataType *)pv;
  return mdFindByNameRest(idName, bSettled);
}
// The structure with that alias, or null.
CORE_API CDataType *mdFindStructByAlias(IDENT idAlias);
// How many slots the name and alias look-ups have visited and entries they have compared so far,
// for tests of their cost.
CORE_API long long mdGetTypeNameCompareCount(void);

// Checks and completes every descriptor that was registered since the last run (and those that
// failed before): resolves every reference, computes layout checksums and plain flags, numbers
// the structures' further type references. Prints each fault with conErrorF (undeclared types,
// bases that are not classes, a missing mdGetDataType override, duplicate names and aliases),
// then "Can't update type %1\n" for each type that failed; a type that uses a failed type fails
// too. Returns the number of failed types.
CORE_API long mdUpdateTypeTables(void);

// How many descriptors were registered since the last type update (a library that loaded
// brought types when this is not 0). Core's start-up and the dynamic loader run the update.
CORE_API long mdGetPendingTypesCount(void);

// Every registered descriptor that is `pdt` or derives from it, in registry order; the second
// leaves out abstract ones.
CORE_API CDynamicContainer<CDataType> mdFindDerivedClasses(CDataType *pdt);
CORE_API CDynamicContainer<CDataType> mdFindNonAbstractDerivedClasses(CDataType *pdt);

// Named data instances.
CORE_API void mdRegisterData(CDataInstance *pdi);
CORE_API void mdUnregisterData(CDataInstance *pdi);
CORE_API CDataInstance *mdFindDataByEditorName(IDENT idName);
// The list of registered instances. Hold the meta mutex while reading it.
CORE_API CDynamicContainer<CDataInstance> &GetDataInstanceContainer(void);

} // namespace QuennelEngine
