#pragma once
// CResourceFile: a file of resources. It owns its shared resources (registration order, each with
// an ID unique in the file and maybe a name), names one of them the default, and keeps the list
// of resources nested in them that it exposes under negative IDs. A file is in the stock
// (ResourceStock.h) from its construction to its destruction, under its name; renaming moves it.
// Every operation runs under the file-stock mutex.
#include "core/memory/DynamicContainer.h"
#include "core/memory/StaticStackArray.h"
#include "core/platform/Time.h"
#include "core/resources/Resource.h"

namespace QuennelEngine {

class CORE_API CResourceFile : public CObject {
  MD_DECLARE_CLASS(CResourceFile)
  enum : unsigned long {
    RFF_REPLACEMENT = 0x1,       // made in place of a file that could not be loaded
    RFF_NOTLOADED = 0x2,         // not properly loaded
    RFF_DELAYEDREFERENCES = 0x4, // refers to files left unopened (set by the metadata reader)
    RFF_CONVERTEDTYPES = 0x8,    // some types were converted from an older format on loading
  };

  // An empty, unnamed-by-path file (its name is empty): it enters the stock.
  CResourceFile(void);
  CResourceFile(const CResourceFile &) = delete;
  CResourceFile &operator=(const CResourceFile &) = delete;
  // Clears the file's objects (mdClearResourceFile) and leaves the stock.
  ~CResourceFile(void) override;

  const CString &GetFileName(void) const { return rf_strFileName; }
  // Moves the file's stock entry to the new name; a different name forgets the file time.
  void SetFileName(const char *strFileName);
  // Names the file "<unnamed N>" with a process-wide counter (the first is 1).
  void SetUnnamed(void);
  int IsUnnamed(void) const { return rf_strFileName[0] == '<'; }

  // Makes the resource shared in this file with the desired ID (-1: the next one). A taken ID
  // warns and gives the next one instead. A resource already shared by another file is refused
  // (a guard breach).
  void RegisterResource(CResource *prs, long iDesiredID = -1);
  // Adds a resource made in code with its ID and name as given; the first becomes the default.
  // The next ID does not move and PostRegister is not called.
  void RegisterModuleResource(long iID, const char *strName, CResource *prs);

  // Gives a nested (not shared, not exposed) resource the next negative ID of this file.
  void ExposeResource(CResource *prs);
  // Takes the ID back; the storage file stays set.
  void ConcealResource(CResource *prs);

  // Lookups; each returns the resource with a reference added, not acquired. By ID: this
  // file's shared list, the alternative file's shared list, this file's exposed list. By name:
  // the shared lists only.
  Ptr<CResource> FindResourceByID(long iID);
  Ptr<CResource> FindResourceByName(const char *strName);
  Ptr<CResource> FindDefaultResource(void);

  // Only a shared resource of this file can be the default.
  void SetDefaultResource(CResource *prs);
  void SetAlternativeFile(CResourceFile *prf);
  // A copy of the shared list.
  CDynamicContainer<CResource> GetAllResources(void);

  // Saves through the first file type of the save list that accepts the file. The type writes
  // to GetSavePath(), a temporary file beside the target that replaces the target only when
  // the type succeeds, so a failed save leaves the old file as it was. Throws.
  void SaveFile_t(void);
  // Where a file type's SaveFile_t writes: the temporary file while SaveFile_t runs, else the
  // file's name.
  const CString &GetSavePath(void) const;
  // An internal resource of the file has changes.
  int IsChanged(void);
  // The file on disk has another time than the one last loaded or saved (0 while unknown).
  int IsChangedExternally(void);
  // MayFileBeReferenced() of the acquired default resource, 1 without one.
  int MayBeReferenced(void);

  CString rf_strFileName;
  unsigned long rf_ulFlags;                   // RFF_...
  long rf_iDefaultID;                         // ID of the default resource
  long rf_iNextID;                            // next ID handed out
  long rf_iNextExposedID;                     // lowered before each use: the first exposed gets -2
  CResourceFile *rf_pAlternativeFile;         // searched when a lookup here fails
  Time rf_tmFileTime;                         // of the file on disk when loaded or saved; 0 unknown
  CStaticStackArray<CResource *> rf_saShared; // registration order
  CStaticStackArray<CResource *> rf_saExposed; // exposure order
  CString rf_strSavePath;                      // set while SaveFile_t runs
};

} // namespace QuennelEngine
