#pragma once
// The metadata reader's parts that its sources share. MetaRead.cpp holds the entry points, reads a
// file in its order and keeps the thread's deferred references and loads in progress; the tables,
// the type matching, the data walk, its plans and the disposal of objects have a source each
// (MetaReadTables, MetaReadMatch, MetaReadData, MetaReadPlans, MetaReadDispose). What one source
// alone uses stays in it.
#include "core/memory/StaticStackArray.h"
#include "core/meta/DataType.h"
#include "core/meta/MetaFilesPrivate.h"
#include "core/meta/MetaPointer.h"
#include "core/meta/MetaStreams.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CSmartObject;

// Reserved words of file descriptors: [1] a type index not yet resolved, [2] the size the file
// recorded, [3] the least bytes one object takes in the file, plus 1 (0 until computed).
enum { RES_INDEX = 1, RES_FILEBYTES = 2, RES_MINBYTES = 3 };

// A list whose elements may take no bytes in the file still gets no more than this.
const long MAX_EMPTY_ELEMENTS = 1L << 24;

// The calling thread's read context, or a guard breach and an exception when none.
CMetaReadContext &Context(void);
// Reports an error through the reader of the file being read, and throws.
[[noreturn]] void Error_t(const CString &strMessage);

// ---- References into files that are loading further up the stack (MetaRead.cpp) ----

struct DeferredReference {
  long dr_iSerial;
  CString dr_strFile;
  long dr_iResID;
  CDataType *dr_pdtWanted;
  CMetaPointer dr_mpSlot; // a pointer, smart pointer or handle; or a dynamic container
  long dr_iPosition;      // the container entry, or -1 for a slot
  void *dr_pvOwner;       // the top-level object holding the slot
};

// The calling thread's deferred references.
CStaticStackArray<DeferredReference> &Deferred(void);
// Drops the deferred references of a read (its serial, when not 0) and those held by an object
// (`pvOwner`, when not null).
void DropDeferred(long iSerial, void *pvOwner);

// ---- Loads in progress (MetaRead.cpp) ----

struct LoadInProgress {
  unsigned long lip_ulThread;
  CString lip_strName;
  volatile long lip_slPosition;
  long lip_slSize;
  volatile long lip_ctFiles;
  volatile long lip_ctFilesDone;
  volatile bool lip_bAbort;
};

// The outermost load of the calling thread is being aborted.
bool IsAborting(void);
// Throws when the outermost load of the calling thread is being aborted.
void CheckAbort_t(void);

// ---- The tables at the head of a file (MetaReadTables.cpp) ----

// The steps the type tables of the calling thread's reads took (mdGetReadWork).
extern thread_local long long _md_ctTypeSteps;

// The descriptor at a type index of the file (null for -1 when `bAllowNone`); an invalid index is
// an error naming what referred to it.
CDataType *TypeAt_t(CMetaReadContext &rc, long iType, bool bAllowNone,
                    const char *strOwner = nullptr, long iObject = -1);

// The program type a file descriptor stands for (null when the program has none).
inline CDataType *ProgramOf(CDataType *pdtFile)
{
  if (pdtFile == nullptr) return nullptr;
  return (pdtFile->dt_ulFlags & DTF_FROMFILE) ? pdtFile->dt_pdtCounterpart : pdtFile;
}

// The referenced resource files (obtained through the file links), the identifiers and the type
// table of a file, after its header; the counts are those the header stated.
void ReadFiles_t(CMetaReadContext &rc, CMetaReader &mr, long ctFiles, LoadInProgress *plip);
void ReadIdents_t(CMetaReadContext &rc, CMetaReader &mr, long ctIdents);
void ReadTypes_t(CMetaReadContext &rc, CMetaReader &mr, long ctTypes);

// ---- Type matching (MetaReadMatch.cpp) ----

// The aliased type behind any number of typedefs (bounded: a faulty cycle ends the walk).
CDataType *ThroughTypedefs(CDataType *pdt);
// Whether a type is CTransString.
bool IsTransString(CDataType *pdt);
// Whether a descriptor is plain (DTF_PLAIN: its objects are raw bytes, read as they are).
bool IsPlain(CDataType *pdt);
// Matches a file descriptor with its program type, and what it holds by value with theirs (once
// per descriptor: its checksum word marks it).
void MatchType_t(CMetaReadContext &rc, CDataType *pdtFile);
// A count of list entries read: of elements of a file type stored by value, or of a dynamic
// container's entries (object indices). A count the rest of the file cannot hold is an error.
void CheckElementCount_t(CDataType *pdtFileElement, CDataType *pdtProgramElement, long ct);
void CheckReferenceCount_t(long ct);

// ---- The data walk (MetaReadData.cpp) ----

// Whether an object may be stored where `pdtTarget` is expected (a resource proxy may stand where
// what it stands for is expected).
bool ObjectFits(const CMetaPointer &mp, CDataType *pdtTarget);
// Stores the object at an index into a pointer, smart pointer or handle of the program.
void AssignReference(CMetaReadContext &rc, CMetaPointer mpSlot, long iObject);
// A part of an object read from the file's layout `pdtFile` into the program's `pdtMemory` at
// `pv` (skipped where the two do not meet), or skipped.
void ReadPart_t(CMetaReadContext &rc, CDataType *pdtFile, CDataType *pdtMemory, void *pv,
                unsigned long ulFlags);
void SkipPart_t(CDataType *pdtFile, unsigned long ulFlags);
// The base part of a structure object (the file's base levels that the program's structure lacks
// are skipped).
void ReadBasePart_t(CMetaReadContext &rc, CDataType *pdtFileBase, CDataType *pdtMemoryBase,
                    void *pv, unsigned long ulFlags);
// Whether data the file stores as `pdtFile` may be read into a program value of `pdtMemory`.
bool SameEncoding(CDataType *pdtFile, CDataType *pdtMemory);

// ---- Read plans (MetaReadPlans.cpp) ----

// The elements of a container that are references, in the binary form (their indices read in
// blocks). False when the elements are no such references.
bool ReadReferenceElements_t(CMetaReadContext &rc, CMetaReader &mr, CDataType *pdtFileElement,
                             CDataType *pdtMemoryElement, char *pch, long ct);
// The objects' data section of a file (`strName` list of `ctExpected` entries), into the objects
// the object tables made; the binary form through the read plans.
void ReadObjects_t(CMetaReadContext &rc, CMetaReader &mr, const char *strName, const char *strChunk,
                   long ctExpected, const char *strError, LoadInProgress *plip);

// ---- Disposal of objects (MetaReadDispose.cpp) ----

// Whether an object is counted (a CSmartObject), and the object as one.
bool IsSmart(const CMetaPointer &mp);
CSmartObject *AsSmart(const CMetaPointer &mp);
// Deletes the objects a failed read made (they were never handed out).
void DeleteCreated(CMetaReadContext &rc);
// Lets go the references a read held until its end.
void ReleaseHeld(CMetaReadContext &rc);
// Hands the unused objects to be deleted when the outermost load of the thread ends.
void DisposeUnused(CMetaReadContext &rc);
// Deletes the objects handed to be deleted (the outermost load of the thread ends).
void DeleteUnusedObjects(void);
// Marks the objects that the root reaches through the references read.
void MarkReachable(CMetaReadContext &rc);

} // namespace QuennelEngine
