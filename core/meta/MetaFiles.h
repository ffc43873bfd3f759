#pragma once
// Metadata files: whole object graphs saved with the descriptions of the types they use, so that
// a file written by an older program loads after its types have changed, and read back with
// shared and cyclic references intact. References into other resource files are stored as
// (file, resource ID) and resolved through the resources layer, which installs the links below.
//
// mdInternalWrite_t collects the graph of the root (MetaCollect.h) and writes it; mdInternalRead_t
// reads a file on the calling thread and returns the root. Each read pushes a meta context and a
// load context of its own (reader, tables, the descriptors built from the file), so reads nest:
// a file that refers to another file loads it in turn on the same thread.
//
// Custom Read, Write and Skip operations of types use the named primitives below, which forward
// to the calling thread's current writer or reader (MetaStreams.h), so they serve the binary and
// the text form alike.
#include "core/meta/MetaPointer.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CObject;
class CStream;

CORE_API void mdInternalWrite_t(CStream &strm, CMetaPointer mpRoot);
CORE_API CMetaPointer mdInternalRead_t(CStream &strm);

// How deep files nest. A type table whose types hold each other by value (a base, a member, an
// array's element, a typedef's type) more than this many levels deep is refused, and the writer
// refuses object data nested deeper (through static arrays, say). The reader takes data nested
// up to twice as deep, so a file the writer made reads back even where a changed layout adds
// levels. Neither recurses further on the stack.
const long MD_MAX_NESTING = 256;

// What reading type tables has cost so far, for tests of its cost: the records, members and
// parts the calling thread's reads went through, and the names the identifier and type tables
// compared (process-wide).
struct MetaReadWork {
  long long mrw_ctTypeSteps;
  long long mrw_ctNameCompares;
};
CORE_API MetaReadWork mdGetReadWork(void);

// ---- Named primitives (only while a write or a read runs on the calling thread) ----

CORE_API void mdWriteInt_t(const char *strName, long sl);
CORE_API void mdWriteRaw_t(const char *strName, const void *pv, long slSize);
CORE_API void mdWriteString_t(const char *strName, const CString &str);
// The identifier's index in the file's identifier list (-1 when it was not collected).
CORE_API void mdWriteIdent_t(const char *strName, IDENT id);
CORE_API void mdWriteType_t(const char *strName, CDataType *pdt);
// The object's index (-1 for null or an object the file does not hold).
CORE_API void mdWriteReference_t(const char *strName, CMetaPointer mp);
CORE_API void mdWriteBlockStart_t(const char *strName, const char *strChunk);
CORE_API void mdWriteBlockEnd_t(void);
CORE_API void mdWriteListStart_t(const char *strName, const char *strChunk, long ct);
CORE_API void mdWriteListEnd_t(void);

CORE_API void mdReadInt_t(const char *strName, long &sl);
CORE_API void mdReadRaw_t(const char *strName, void *pv, long slSize);
CORE_API void mdReadString_t(const char *strName, CString &str);
CORE_API void mdReadIdent_t(const char *strName, IDENT &id);
CORE_API void mdReadType_t(const char *strName, CDataType *&pdt);
// The object at the index read (null for -1); the object counts as used.
CORE_API void mdReadReference_t(const char *strName, CMetaPointer &mp);
CORE_API void mdReadBlockStart_t(const char *strName, const char *strChunk);
CORE_API void mdReadBlockEnd_t(void);
// A count that the rest of the file cannot hold is an error.
CORE_API void mdReadListStart_t(const char *strName, const char *strChunk, long &ct);
CORE_API void mdReadListEnd_t(void);
CORE_API void mdSkipInt_t(const char *strName);
CORE_API void mdSkipString_t(const char *strName);
CORE_API void mdSkipRaw_t(const char *strName, long slSize);
// The version of the file being read (-1 outside a read).
CORE_API long mdGetVersion(void);
// Throws through the reader: the stream's description, ": " and the message.
[[noreturn]] CORE_API void mdReadError_t(const CString &strMessage);

// An object's data: nothing for SMF_NOSAVE (or SMF_EDIT while edit data is left out), else the
// type's Write operation, else the default by kind.
CORE_API void mdWriteObject_t(CMetaFrame &mf);
CORE_API void mdWriteObjectDefault_t(CMetaFrame &mf);
// The frame's mf_pdtType is the layout in the file, mf_pdtMemory the program's type of the
// object at mf_pvObject; the default converts from the one to the other.
CORE_API void mdReadObject_t(CMetaFrame &mf);
CORE_API void mdReadObjectDefault_t(CMetaFrame &mf);
CORE_API void mdSkipObject_t(CMetaFrame &mf);
CORE_API void mdSkipObjectDefault_t(CMetaFrame &mf);

// Descriptions of the streams being written and read on the calling thread (empty when none),
// and the read position.
CORE_API CString mdGetWritingStreamFN(void);
CORE_API CString mdGetReadingStreamFN(void);
CORE_API long mdGetReadingStreamOffset(void);

// ---- Progress ----

// 0 to 1 over the loads in progress (of any thread), nested loads weighted by their share.
CORE_API float mdGetLoadingProgress(void);
// The outermost file being loaded, or the empty text.
CORE_API CString mdGetRootLoadingFN(void);
// Aborts the outermost load when it is of that file: it throws "Loading aborted." at its next
// check (before each referenced file, before and after the objects).
CORE_API void mdAbortLoading(const CString &strFileName);

// ---- What the files need from the resources layer ----

// The resource-file entry flags: every object referenced from the file is delayed-loaded, or
// loaded on demand. A file with MDRF_DELAYED is not opened while loading.
enum : unsigned long {
  MDRF_DELAYED = 0x20000,
  MDRF_ONDEMAND = 0x40000,
};

class CORE_API CMetaFileLinks {
public:
  virtual ~CMetaFileLinks(void);
  // Writing: the file that an external object lives in (its name, the file object or null for
  // a proxy) and its ID there (-1 when none). Throws when a proxy cannot be resolved.
  virtual void DescribeExternal_t(const CMetaPointer &mp, CString &strFile, CObject *&pFile,
                                  long &iResID) = 0;
  virtual int IsFileUnnamed(CObject *pFile) = 0;
  virtual int MayFileBeReferenced(CObject *pFile) = 0;
  // After a write, for each counted object (CSmartObject: only those can be resources) that the
  // file held.
  virtual void AfterWrite(const CMetaPointer &mp) = 0;

  // Reading: the file of that name from the stock, loaded now when it is not there. Null with
  // `bInProgress` set when the file is being loaded further up this thread's stack. Throws.
  virtual CObject *ObtainFile_t(const CString &strName, int &bInProgress) = 0;
  // An empty file of that name marked as a replacement.
  virtual CObject *CreateReplacementFile(const CString &strName) = 0;
  // An external object: the resource `iResID` of the file (`pFile` null when the file was not
  // opened), which must be of type `pdt` or related to it. Returns it with a reference that the
  // reader drops at the end of the load. Throws.
  virtual CMetaPointer ResolveExternal_t(CObject *pFile, const CString &strFile,
                                         unsigned long ulFileFlags, long iResID,
                                         CDataType *pdt) = 0;
  // After the objects were read: the root (when it is a file) takes the flags of the load, and
  // the resources among the internal objects take their file.
  virtual void AfterRead(const CMetaPointer &mpRoot, const CMetaPointer *ampInternal, long ct,
                         int bConverted, int bDelayed) = 0;
};
// Installed by the resources layer when Core loads.
CORE_API void mdSetFileLinks(CMetaFileLinks *pLinks);
CORE_API CMetaFileLinks *mdGetFileLinks(void);

// How mdLoad_t reads: the resource loader installs a function that reads on its loading thread
// (either argument set). Null puts back reading on the calling thread.
typedef CMetaPointer (*MetaFileLoader_t)(const char *strFileName, CStream *pstrm);
CORE_API void mdSetFileLoader(MetaFileLoader_t pLoader);

// A file that was being loaded up the stack when another file referred to it has finished:
// the references to it that were left open are bound now. The resources layer calls it.
CORE_API void mdBindDeferredReferences_t(CObject *pFile, const CString &strFileName);
// The outermost load of the thread has ended: references to files that never completed stay null.
CORE_API void mdForgetDeferredReferences(void);

} // namespace QuennelEngine
