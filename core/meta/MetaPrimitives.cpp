// The named primitives: what custom Read, Write and Skip operations call. Each forwards to the
// calling thread's current writer or reader.
#include "core/frame/CodeGuard.h"
#include "core/frame/Exception.h"
#include "core/meta/DataTypeKinds.h"
#include "core/meta/MetaFilesPrivate.h"
#include "core/meta/MetaIndex.h"
#include "core/streams/Stream.h"
#include "core/text/FormatArgs.h"

namespace QuennelEngine {

static thread_local CMetaWriter *_md_pmwCurrent = nullptr;
static thread_local CMetaReadContext *_md_pmrcCurrent = nullptr;
static CMetaFileLinks *_md_pLinks = nullptr;
static MetaWriterFactory _md_pTextWriter = nullptr;
static MetaReaderFactory _md_pTextReader = nullptr;

CMetaFileLinks::~CMetaFileLinks(void)
{
}

void mdSetFileLinks(CMetaFileLinks *pLinks)
{
  _md_pLinks = pLinks;
}

CMetaFileLinks *mdGetFileLinks(void)
{
  return _md_pLinks;
}

void mdSetTextFormFactories(MetaWriterFactory pWriter, MetaReaderFactory pReader)
{
  _md_pTextWriter = pWriter;
  _md_pTextReader = pReader;
}

MetaWriterFactory mdGetTextWriterFactory(void)
{
  return _md_pTextWriter;
}

MetaReaderFactory mdGetTextReaderFactory(void)
{
  return _md_pTextReader;
}

CMetaWriter *mdCurrentWriter(void)
{
  return _md_pmwCurrent;
}

CMetaReadContext *mdCurrentReadContext(void)
{
  return _md_pmrcCurrent;
}

void mdSetCurrentWriter(CMetaWriter *pmw)
{
  _md_pmwCurrent = pmw;
}

void mdSetCurrentReadContext(CMetaReadContext *pmrc)
{
  _md_pmrcCurrent = pmrc;
}

CMetaWriter &mdMustWriter_t(void)
{
  if (_md_pmwCurrent == nullptr) {
    corLogGuardBreach();
    ThrowFormat_t("No metadata file is being written.");
  }
  return *_md_pmwCurrent;
}

CMetaReader &mdMustReader_t(void)
{
  if (_md_pmrcCurrent == nullptr || _md_pmrcCurrent->mrc_pReader == nullptr) {
    corLogGuardBreach();
    ThrowFormat_t("No metadata file is being read.");
  }
  return *_md_pmrcCurrent->mrc_pReader;
}

// ---- Writing ----

void mdWriteInt_t(const char *strName, long sl)
{
  mdMustWriter_t().WriteInt_t(strName, sl);
}

void mdWriteRaw_t(const char *strName, const void *pv, long slSize)
{
  mdMustWriter_t().WriteRaw_t(strName, pv, slSize);
}

void mdWriteString_t(const char *strName, const CString &str)
{
  mdMustWriter_t().WriteString_t(strName, str);
}

void mdWriteIdent_t(const char *strName, IDENT id)
{
  mdMustWriter_t().WriteInt_t(strName, mdIdentToIndex(id));
}

void mdWriteType_t(const char *strName, CDataType *pdt)
{
  mdMustWriter_t().WriteInt_t(strName, pdt == nullptr ? -1 : mdTypeToIndex(pdt));
}

void mdWriteReference_t(const char *strName, CMetaPointer mp)
{
  mdMustWriter_t().WriteInt_t(strName, mp.mp_pvObject == nullptr ? -1 : mdObjectToIndex(mp));
}

void mdWriteBlockStart_t(const char *strName, const char *strChunk)
{
  mdMustWriter_t().WriteBlockStart_t(strName, strChunk);
}

void mdWriteBlockEnd_t(void)
{
  mdMustWriter_t().WriteBlockEnd_t();
}

void mdWriteListStart_t(const char *strName, const char *strChunk, long ct)
{
  mdMustWriter_t().WriteListStart_t(strName, strChunk, ct);
}

void mdWriteListEnd_t(void)
{
  mdMustWriter_t().WriteListEnd_t();
}

// ---- Reading ----

void mdReadInt_t(const char *strName, long &sl)
{
  mdMustReader_t().ReadInt_t(strName, sl);
}

void mdReadRaw_t(const char *strName, void *pv, long slSize)
{
  mdMustReader_t().ReadRaw_t(strName, pv, slSize);
}

void mdReadString_t(const char *strName, CString &str)
{
  mdMustReader_t().ReadString_t(strName, str);
}

void mdReadIdent_t(const char *strName, IDENT &id)
{
  CMetaReader &mr = mdMustReader_t();
  long i;
  mr.ReadInt_t(strName, i);
  CStaticStackArray<IDENT> &aid = _md_pmrcCurrent->mrc_aidIdents;
  if (i == -1) {
    id = mdInvalidIdent();
    return;
  }
  if (i < 0 || i >= aid.Count()) mr.Error_t(strFormat("Invalid ident index %1.", i));
  id = aid[i];
}

void mdReadType_t(const char *strName, CDataType *&pdt)
{
  CMetaReader &mr = mdMustReader_t();
  long i;
  mr.ReadInt_t(strName, i);
  CStaticStackArray<CDataType *> &apdt = _md_pmrcCurrent->mrc_apdtTypes;
  if (i == -1) {
    pdt = nullptr;
    return;
  }
  if (i < 0 || i >= apdt.Count()) mr.Error_t(strFormat("Invalid type index %1.", i));
  pdt = apdt[i];
  if (pdt != nullptr && (pdt->dt_ulFlags & DTF_FROMFILE)) pdt = pdt->dt_pdtCounterpart;
}

void mdReadReference_t(const char *strName, CMetaPointer &mp)
{
  CMetaReader &mr = mdMustReader_t();
  long i;
  mr.ReadInt_t(strName, i);
  if (i == -1) {
    mp = CMetaPointer();
    return;
  }
  CStaticStackArray<MetaReadObject> &aObjects = _md_pmrcCurrent->mrc_aObjects;
  if (i < 0 || i >= aObjects.Count()) mr.Error_t(strFormat("Invalid object index %1.", i));
  mdNoteReadReference(*_md_pmrcCurrent, i);
  mp = aObjects[i].mro_mp;
}

void mdReadBlockStart_t(const char *strName, const char *strChunk)
{
  mdMustReader_t().ReadBlockStart_t(strName, strChunk);
}

void mdReadBlockEnd_t(void)
{
  mdMustReader_t().ReadBlockEnd_t();
}

void mdReadListStart_t(const char *strName, const char *strChunk, long &ct)
{
  CMetaReader &mr = mdMustReader_t();
  mr.ReadListStart_t(strName, strChunk, ct);
  if (ct > mr.GetBytesLeft())
    mr.Error_t(strFormat("Invalid count %1: the file cannot hold it.", ct));
}

void mdReadListEnd_t(void)
{
  mdMustReader_t().ReadListEnd_t();
}

void mdSkipInt_t(const char *strName)
{
  long sl;
  mdMustReader_t().ReadInt_t(strName, sl);
}

void mdSkipString_t(const char *strName)
{
  CString str;
  mdMustReader_t().ReadString_t(strName, str);
}

void mdSkipRaw_t(const char *strName, long slSize)
{
  mdMustReader_t().SkipRaw_t(strName, slSize);
}

long mdGetVersion(void)
{
  return _md_pmrcCurrent == nullptr ? -1 : _md_pmrcCurrent->mrc_iVersion;
}

void mdReadError_t(const CString &strMessage)
{
  mdMustReader_t().Error_t(strMessage);
  // (Error_t throws; a reader that returned would be faulty)
  throw CSimpleException(strMessage);
}

CString mdGetWritingStreamFN(void)
{
  return _md_pmwCurrent == nullptr ? CString() : _md_pmwCurrent->GetStream().GetDescription();
}

CString mdGetReadingStreamFN(void)
{
  return _md_pmrcCurrent == nullptr ? CString() : _md_pmrcCurrent->mrc_pstrm->GetDescription();
}

long mdGetReadingStreamOffset(void)
{
  return _md_pmrcCurrent == nullptr ? -1 : _md_pmrcCurrent->mrc_pstrm->GetPosition();
}

} // namespace QuennelEngine
