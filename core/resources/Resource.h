#pragma once
// CResource: a counted, reflected object that content is made of. A resource is free (in no
// file), shared (registered in a resource file, which keeps it and gives it an ID and maybe a
// name) or exposed (nested inside a shared resource and made reachable by a negative ID of the
// file that exposes it). CDummyResource is the library's own concrete resource, the default
// substitute for class "CResource".
//
// Every place that hands out a resource applies the acquire rule (resAcquireObject): an object
// marked replace-on-access is exchanged for what its AcquireReplacement() returns.
#include "core/frame/ContentPlatforms.h"
#include "core/meta/Object.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CResourceFile;

// EPlatform itself is below the metadata (ContentPlatforms.h); its descriptor is a resource's.
MD_DECLARE_ENUM(EPlatform)

// A row of the stock's CSV dump: the values (comma-separated; the first is the sort key), the
// matching column titles, and the CSV file the row goes to.
struct CStockDumpInfo {
  CString sdi_strValues;
  CString sdi_strHeader;
  CString sdi_strFile;
};

class CORE_API CResource : public CSmartObject {
  MD_DECLARE_CLASS(CResource)
  enum : unsigned long {
    RSF_DEFAULTSUBSTITUTE = 0x1, // made by rscCreateDefaultResource in place of a missing one
  };

  CResource(void);
  // Resources are copied through the metadata (resUnshareResource), never by C++.
  CResource(const CResource &) = delete;
  CResource &operator=(const CResource &) = delete;
  // Discards pending post-load tasks of a replace-on-access resource; deletes the extra object.
  ~CResource(void) override;

  // A shared resource stays (its file keeps it); otherwise it is concealed if exposed and
  // deleted. The last release and the lookups meet under the file-stock mutex (see .cpp).
  void DeleteSelf(void) override;
  // On the main thread: clears replace-on-access and runs the post-load tasks. Returns itself.
  CSmartObject *AcquireReplacement(void) override;
  void InitiateDelayedLoad(void) override;
  // 1: a resource is always ready.
  int IsReplacementReady(void) override;
  // A line about the resource for diagnostics; empty in the base.
  virtual CString GetSimpleInfo(void);
  // The stock dump's row: the size in kilobytes, into "Unsorted.csv".
  virtual CStockDumpInfo GetSimpleInfoCSV(void);
  // For a resource in a file, `strFile` becomes the file's name; `strSecond` is left alone.
  virtual void GetShellOpenPaths(CString &strFile, CString &strSecond);
  virtual void PrecacheData(void);
  // Called by RegisterResource once the resource has its file and ID.
  virtual void PostRegister(void);
  // Prepares the resource for a platform (finalisation); nothing in the base.
  virtual void Finalize(EPlatform pla, const char *strTarget);
  // Whether other files may refer to the file whose default resource this is; 1 in the base.
  virtual int MayFileBeReferenced(void);
  virtual CString GetThumbnailFileName(void);

  IDENT GetName(void) const { return rs_idName; }
  // A shared resource cannot take a name that a resource of its file already has (itself
  // included): the error is printed and the old name kept.
  void SetName(const char *strName);
  // The owning file's name, or an empty string if not shared.
  CString GetFileName(void) const;
  // The owning file if shared, else null.
  CResourceFile *GetResourceFile(void) const;
  int IsShared(void) const { return rs_iID != -1 && rs_pFile != nullptr; }
  int IsExposed(void) const { return rs_iExposedID != -1 && rs_pStorageFile != nullptr; }
  // Shared and the (acquired) default resource of its file.
  int IsDefault(void);
  void MarkChanged(long ct) { rs_llChangeCount += ct; }
  int IsChanged(void) const { return rs_llChangeCount != 0; }
  __int64 GetChangeCount(void) const { return rs_llChangeCount; }
  // The file if shared; else the storage file, found by an exhaustive search of the stock the
  // first time (and kept).
  CResourceFile *GetStorageResourceFile(void);
  CString GetStorageFileName(void);

  CResourceFile *rs_pFile;        // owner of a shared resource
  long rs_iID;                    // ID in the owner; -1 none
  long rs_iExposedID;             // negative ID in the storage file; -1 none
  IDENT rs_idName;                // empty by default
  unsigned long rs_ulFlags;       // RSF_...
  __int64 rs_llChangeCount;       // changes since the last save
  CObject *rs_pExtra;             // owned, deleted with the resource
  CResourceFile *rs_pStorageFile; // the exposing file, or the owner found by search
};

class CORE_API CDummyResource : public CResource {
  MD_DECLARE_CLASS(CDummyResource)
};

// The acquire rule. Takes over the caller's reference to `pso`: if it is marked
// replace-on-access, its replacement (AcquireReplacement) is referenced and the reference to
// `pso` dropped. Returns the object to use, holding one reference to it (null for null).
CORE_API CSmartObject *resAcquireObject(CSmartObject *pso);
// The rule on a counted resource; a replacement that is not a CResource gives null.
CORE_API Ptr<CResource> resAcquire(Ptr<CResource> ptr);

// Post-load tasks belong to the resource loader, which installs these two hooks when it comes.
// Until then no resource has tasks: both hooks are empty and count 0. Each returns the number
// of tasks the resource had.
typedef long (*ResPostLoadTaskHook)(CResource *prs);
CORE_API void resSetPostLoadTaskHooks(ResPostLoadTaskHook pExecuteAll,
                                      ResPostLoadTaskHook pDiscardAll);

} // namespace QuennelEngine
