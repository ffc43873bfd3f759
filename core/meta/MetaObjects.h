#pragma once
// The generic object operations: creation and deletion by type, construction in place, the
// life-cycle hooks, and descriptions of types and objects for messages. They work on any
// registered type through its descriptor; a null pointer or type does nothing or gives null.
#include "core/meta/MetaPointer.h"

namespace QuennelEngine {

class CStream;

// A new object of the type. mdNew_t throws "Cannot create objects of type %1." for a type
// without a way to create objects, and "Not enough memory to create object of type %1." when
// creation yields nothing; mdNew gives a null pointer instead (also for an unknown name).
CORE_API CMetaPointer mdNew_t(CDataType *pdt);
CORE_API CMetaPointer mdNew(CTypeID tid);
// `ctCount` objects in one block (typedefs resolved first), freed with mdDeleteArray.
CORE_API CMetaPointer mdNewArray_t(CDataType *pdt, long ctCount);
CORE_API CMetaPointer mdNewArray(CTypeID tid, long ctCount);
// Deletes an object made by mdNew (a pointer cell deletes its target first; a reflected class
// seen through a base's descriptor is deleted as what it is), or an array made by mdNewArray.
CORE_API void mdDelete(CMetaPointer mp);
CORE_API void mdDeleteArray(CMetaPointer mp);
// Empties the object's contents (the type's Clear operation; nothing without one).
CORE_API void mdClear(CMetaPointer mp);
// Constructs or destructs the object in place (the type's operations; nothing without them).
CORE_API void mdConstruct(CMetaPointer mp);
CORE_API void mdDestruct(CMetaPointer mp);

// The hooks: the operation found on the type or up its bases, then the same hook on the embedded
// parts (members, base parts, elements of arrays and static arrays, typedef views), depth first.
// Pointers, smart pointers, handles and dynamic containers are not followed.
CORE_API void mdPostCreate(CMetaPointer mp);
CORE_API void mdPostRead(CMetaPointer mp);
CORE_API void mdPreWrite(CMetaPointer mp);
CORE_API void mdPostWrite(CMetaPointer mp);
CORE_API void mdPostCopy(CMetaPointer mp);
// The embedded parts only.
CORE_API void mdPostCreateChildren(CMetaPointer mp);
CORE_API void mdPostReadChildren(CMetaPointer mp);
CORE_API void mdPreWriteChildren(CMetaPointer mp);
CORE_API void mdPostWriteChildren(CMetaPointer mp);
CORE_API void mdPostCopyChildren(CMetaPointer mp);
// The change notifications: the operation's result, 0 when the type (and its bases) has none.
CORE_API int mdPreChange(CMetaPointer mp, CMetaPointer mpPart);
CORE_API int mdPostChange(CMetaPointer mp, CMetaPointer mpPart);
CORE_API int mdBeginChanging(CMetaPointer mp, CMetaPointer mpPart);
CORE_API int mdEndChanging(CMetaPointer mp, CMetaPointer mpPart);
// The operation of a slot on the type or the nearest base that has it, or null.
CORE_API MetaFunction mdFindFunction(CDataType *pdt, int iSlot);
// Whether the hook in `iSlot` would run anywhere in an object of the type (the type, a base or an
// embedded part): callers that visit many objects of few types skip those that have none.
CORE_API int mdHasHookInParts(CDataType *pdt, int iSlot);

// The descriptor the object really has: a reflected class's own (through its mdGetDataType()),
// else `pdt`. A class that no registered class derives from (as of the last mdUpdateTypeTables,
// with nothing registered or removed since) is its objects' type without the virtual call.
CORE_API CDataType *mdGetDynamicType(CDataType *pdt, void *pv);

// The object this one stands for (the type's GetFinalObject operation), or `mp` itself.
CORE_API CMetaPointer mdGetFinalObject(CMetaPointer mp);

// Saving and loading whole object graphs as metadata files (MetaFiles.h). mdSave_t replaces the
// file only with a complete one; mdLoad_t reads on the calling thread.
CORE_API void mdSave_t(const char *strFileName, CMetaPointer mp);
CORE_API CMetaPointer mdLoad_t(const char *strFileName);
CORE_API CMetaPointer mdLoad_t(CStream *pstrm);

// Descriptions for messages: "CFoo*", "CStaticArray<FLOAT>", "Ptr<CFoo>", "Handle<CFoo>",
// "FLOAT[4]", "class CFoo" (with `bClassPrefix`); "NULL" for no type. These names are also the
// names of the compound types that the declaration front-end registers.
CORE_API CString mdGetTypeDescription(CDataType *pdt, int iFlags = 0, int bClassPrefix = 0);
CORE_API CString mdGetTypeDescription(CTypeID &tid, int iFlags = 0, int bClassPrefix = 0);
// One identifier for a type: "PtrToCFoo", "CStaticArrayOfFLOAT"...; a typedef gives its own
// name unless `bThroughTypedefs`.
CORE_API CString mdGetRootTypeName(CDataType *pdt, int bThroughTypedefs = 0);
CORE_API CString mdGetRootTypeName(CTypeID &tid, int bThroughTypedefs = 0);
// The object's display name: its type's GetName operation, else the structure's editor name,
// else the empty text.
CORE_API CString mdGetName(CMetaPointer mp);
// The name (or "NULL" for a null address) and the type description: "Box (CMesh)".
CORE_API CString mdGetObjectDescription(CMetaPointer mp);

} // namespace QuennelEngine
