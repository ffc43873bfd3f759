// The file types Core registers when it loads: metadata files (binary "VQTNMETA" or text
// "QuennelE"), tried after every other type, and module files ("*.module"). Loading modules
// comes with its own subsystem; until then that operation throws.
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaFiles.h"
#include "core/meta/MetaObjects.h"
#include "core/resources/Finalize.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceFileType.h"
#include "core/streams/Stream.h"
#include "core/text/Matching.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

namespace {

class CMetaResourceFileType : public CResourceFileType {
  MD_DECLARE_CLASS(CMetaResourceFileType)
  CMetaResourceFileType(void) { Register(); }
  long GetLoadPriority(void) override { return (long)0x80000000UL; }
  long GetSavePriority(void) override { return (long)0x80000000UL; }
  int CanSaveFile(CResourceFile *) override { return 1; }
  void SaveFile_t(CResourceFile *prf) override
  {
    CStream strm;
    strm.OpenFile_t(prf->GetSavePath(), "w");
    mdInternalWrite_t(strm,
                      CMetaPointer(CResourceFile::md_pdtDataType, static_cast<CObject *>(prf)));
  }
  int CanLoadFileName(const CString &) override { return 1; }
  int CanLoadStream_t(CStream *pstrm) override
  {
    // "VQTNMETA" or "QuennelE" (text, also after a byte-order mark that a tool added).
    const long slLeft = pstrm->GetSize() - pstrm->GetPosition();
    if (slLeft < 8) return 0;
    char achID[11];
    pstrm->Peek_t(achID, slLeft < 11 ? 8 : 11);
    if (memcmp(achID, "QuennelE", 8) == 0 || memcmp(achID, "VQTNMETA", 8) == 0) return 1;
    const bool bBOM = slLeft >= 11 && (unsigned char)achID[0] == 0xEF &&
                      (unsigned char)achID[1] == 0xBB && (unsigned char)achID[2] == 0xBF;
    return bBOM && memcmp(achID + 3, "QuennelE", 8) == 0;
  }
  // The root of a resource file's metadata is the file itself.
  CResourceFile *LoadFile_t(CStream *pstrm) override
  {
    CMetaPointer mp = mdInternalRead_t(*pstrm);
    if (mp.mp_pdtType == nullptr ||
        !mdIsDerivedFrom(mp.mp_pdtType, CResourceFile::md_pdtDataType)) {
      mdDelete(mp);
      ThrowFormat_t(
          strTranslate("DOZUResource.NotResourceFile=This is a metadata file, but it is not "
                       "a resource file."));
    }
    return static_cast<CResourceFile *>((CObject *)mp.mp_pvObject);
  }
  void Finalize_t(CResourceFile *prf, EPlatform pla, const char *strTarget) override
  {
    resFinalizeMetadataFile_t(prf, pla, strTarget);
  }
};

class CModuleResourceFileType : public CResourceFileType {
  MD_DECLARE_CLASS(CModuleResourceFileType)
  CModuleResourceFileType(void) { Register(); }
  int CanSaveFile(CResourceFile *prf) override { return CanLoadFileName(prf->GetFileName()); }
  void SaveFile_t(CResourceFile *prf) override
  {
    ThrowFormat_t(strTranslate("DOZUResource.SaveModule=%1: Dynamic module files cannot be "
                               "saved."),
                  prf->GetFileName());
  }
  int CanLoadFileName(const CString &strFileName) override
  {
    return strMatches(strFileName, "*.module");
  }
  int CanLoadStream_t(CStream *) override { return 1; }
  CResourceFile *LoadFile_t(CStream *) override
  {
    ThrowFormat_t(strTranslate("DOZUResource.NoModules=Dynamic module files are not available in "
                               "this version."));
  }
};

// The types live as long as Core; the reference held here keeps a release by a user from
// deleting a static.
struct CBuiltinFileTypes {
  CBuiltinFileTypes()
  {
    bft_rftMeta.AddRef();
    bft_rftModule.AddRef();
  }
  CMetaResourceFileType bft_rftMeta;
  CModuleResourceFileType bft_rftModule;
};

MD_CLASS_BEGIN(CMetaResourceFileType, CResourceFileType, 1)
MD_CLASS_END()

MD_CLASS_BEGIN(CModuleResourceFileType, CResourceFileType, 1)
MD_CLASS_END()

CBuiltinFileTypes _res_bftBuiltin;

} // namespace

} // namespace QuennelEngine
