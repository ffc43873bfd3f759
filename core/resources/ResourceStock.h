#pragma once
// The stock: every resource file in memory, from its construction to its destruction, in a list
// in the order the files entered it and in a name index of 1000 chains whose found entries move
// to the front (the metadata reader looks a file up for every reference into another file). The
// file-stock mutex guards the stock, the files, the links between resources and files, the
// exposed lists and the file-type lists.
#include "core/memory/DynamicContainer.h"
#include "core/meta/MetaPointer.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CDataType;
class CResource;
class CResourceFile;
class CSyncMutex;

// The file-stock mutex (recursive; usable from static initialisers).
CORE_API CSyncMutex *resGetFileStockMutex(void);
// The stock file named like `strPath` mapped through the replace history, or null;
// `strResolved` receives the mapped path.
CORE_API CResourceFile *resFindFileInStock(const CString &strPath, CString &strResolved);
// A copy of the stock list.
CORE_API CDynamicContainer<CResourceFile> resListResourceFiles(void);
// Each distinct type of the named shared resources and the default resources of the stock
// files, in the order they are first met.
CORE_API CDynamicContainer<CDataType> resListDataTypesInStock(void);
// The named shared resources and the default resources of the stock files whose type is exactly
// `pdt`, in stock order (the file keeps them: no references are added).
CORE_API CDynamicContainer<CResource> resListResourcesByDataType(CDataType *pdt);
// The stock file from whose shared resources the object can be reached, or null; an exhaustive
// search (warned about), so callers keep the answer.
CORE_API CResourceFile *resFindResourceFileOwningObject(CMetaPointer mp);

} // namespace QuennelEngine
