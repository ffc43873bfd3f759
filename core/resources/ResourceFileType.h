#pragma once
// CResourceFileType: a kind of resource file on disk. A type registers itself when it is made
// (Register(), usually from a static of its module) and leaves when it is destroyed. Loading
// asks the types of the load list in turn (highest load priority first) whether they take a
// stream; saving takes the first type of the save list (highest save priority first) that
// accepts the file. Core registers two: metadata files (tried last) and module files.
#include "core/memory/DynamicContainer.h"
#include "core/resources/Resource.h"

namespace QuennelEngine {

class CResourceFile;
class CStream;

class CORE_API CResourceFileType : public CResource {
  MD_DECLARE_CLASS(CResourceFileType)
  CResourceFileType(void) {}
  // Leaves both lists.
  ~CResourceFileType(void) override;

  // Higher is tried earlier; 0 in the base.
  virtual long GetLoadPriority(void);
  virtual long GetSavePriority(void);
  virtual int CanSaveFile(CResourceFile *prf) = 0;
  // Writes the file to prf->GetSavePath(). Throws.
  virtual void SaveFile_t(CResourceFile *prf) = 0;
  virtual int CanLoadFileName(const CString &strFileName) = 0;
  // May read ahead on the stream (the caller seeks back). Throws.
  virtual int CanLoadStream_t(CStream *pstrm) = 0;
  // A new file read from the stream (it is in the stock from its construction). Throws.
  virtual CResourceFile *LoadFile_t(CStream *pstrm) = 0;
  // Writes the file prepared for the platform to `strTarget` (finalisation, Finalize.h); the
  // base copies the file as it is on disk (FinalizeByCopying_t). Throws.
  virtual void Finalize_t(CResourceFile *prf, EPlatform pla, const char *strTarget);
  // Copies `strSource` into `strTarget` byte for byte, saying so on the console. A copy that
  // fails halfway is removed, so it cannot pass for an up-to-date one. Throws.
  void FinalizeByCopying_t(EPlatform pla, const char *strSource, const char *strTarget);

  // Appends the type to both lists and sorts them again (a type's constructor calls it).
  void Register(void);
  // Takes the type out of both lists until it registers again (the destructor calls it).
  void Unregister(void);
};

// The registered types in load order and in save order.
CORE_API CDynamicContainer<CResourceFileType> resListLoadFileTypes(void);
CORE_API CDynamicContainer<CResourceFileType> resListSaveFileTypes(void);

} // namespace QuennelEngine
