// The metadata file type Core registers when it loads: binary ("VQTNMETA") or text ("QuennelE")
// metadata files whose root is the resource file, tried after every other type. The other type
// Core registers, for module files, is in DynamicModuleFile.cpp.
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaFiles.h"
#include "core/meta/MetaObjects.h"
#include "core/resources/Finalize.h"
#include "core/resources/ResourceFile.h"
#include "core/resources/ResourceFileType.h"
#include "core/streams/Stream.h"
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

// The type lives as long as Core; the reference held here keeps a release by a user from
// deleting a static.
struct CBuiltinFileTypes {
  CBuiltinFileTypes() { bft_rftMeta.AddRef(); }
  CMetaResourceFileType bft_rftMeta;
};

MD_CLASS_BEGIN(CMetaResourceFileType, CResourceFileType, 1)
MD_CLASS_END()

CBuiltinFileTypes _res_bftBuiltin;

} // namespace

} // namespace QuennelEngine
