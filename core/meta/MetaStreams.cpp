#include "core/meta/MetaStreams.h"

#include "core/frame/Exception.h"
#include "core/frame/Version.h"
#include "core/streams/Stream.h"
#include "core/text/Characters.h"
#include "core/text/Compare.h"

#include <string.h>

namespace QuennelEngine {

CMetaWriter::~CMetaWriter(void)
{
}

void CMetaWriter::WriteRawMember_t(const char *strMember, const char *strName, const void *pv,
                                   long slSize)
{
  WriteBlockStart_t(strMember, nullptr);
  WriteRaw_t(strName, pv, slSize);
  WriteBlockEnd_t();
}

void CMetaWriter::WriteIntMember_t(const char *strMember, const char *strName, long sl)
{
  WriteBlockStart_t(strMember, nullptr);
  WriteInt_t(strName, sl);
  WriteBlockEnd_t();
}

const CString &CMetaWriter::GetProgramVersionText(void) const
{
  return mw_bVersionSet ? mw_strVersion : mdGetProgramVersionText();
}

CMetaReader::~CMetaReader(void)
{
}

void CMetaReader::Error_t(const CString &strMessage)
{
  throw CSimpleException(mr_pstrm->GetDescription() + ": " + strMessage);
}

long CMetaReader::GetBytesLeft(void) const
{
  const long sl = mr_pstrm->GetSize() - mr_pstrm->GetPosition();
  return sl < 0 ? 0 : sl;
}

static bool HasChunk(const char *strChunk)
{
  return strChunk != nullptr && strChunk[0] != 0;
}

// ---- Binary writer ----

void CBinaryMetaWriter::Open_t(void)
{
  mw_pstrm->WriteID_t(CChunkID("VQTN"));
  mw_pstrm->WriteID_t(CChunkID("META"));
  mw_pstrm->WriteValue_t((unsigned long)MD_ENDIANNESS_COOKIE);
  mw_pstrm->WriteValue_t((long)MD_FORMAT_VERSION);
  GetProgramVersionText().Write_t(*mw_pstrm);
}

void CBinaryMetaWriter::Close_t(void)
{
  mw_pstrm->WriteID_t(CChunkID("META"));
  mw_pstrm->WriteID_t(CChunkID("END "));
}

void CBinaryMetaWriter::WriteInt_t(const char *, long sl)
{
  mw_pstrm->WriteValue_t(sl);
}

void CBinaryMetaWriter::WriteRaw_t(const char *, const void *pv, long slSize)
{
  if (slSize > 0) mw_pstrm->Write_t(pv, slSize);
}

void CBinaryMetaWriter::WriteKind_t(const char *, DataTypeType dtt)
{
  mw_pstrm->WriteValue_t((long)dtt);
}

void CBinaryMetaWriter::WriteString_t(const char *, const CString &str)
{
  str.Write_t(*mw_pstrm);
}

void CBinaryMetaWriter::WriteBlockStart_t(const char *, const char *strChunk)
{
  if (HasChunk(strChunk)) mw_pstrm->WriteID_t(CChunkID(strChunk));
}

void CBinaryMetaWriter::WriteListStart_t(const char *, const char *strChunk, long ct)
{
  if (HasChunk(strChunk)) mw_pstrm->WriteID_t(CChunkID(strChunk));
  mw_pstrm->WriteValue_t(ct);
}

// ---- Binary reader ----

long CBinaryMetaReader::GetBytesLeft(void) const
{
  if (bmr_slSize < 0) bmr_slSize = mr_pstrm->GetSize();
  const long sl = bmr_slSize - mr_pstrm->GetPosition();
  return sl < 0 ? 0 : sl;
}

const char *CBinaryMetaReader::GetDirectBytes(long &slBytes)
{
  return mr_pstrm->GetReadWindow(slBytes);
}

int CBinaryMetaReader::IsMetaFile(void)
{
  if (GetBytesLeft() < 4) return 0;
  char ach[4];
  mr_pstrm->Peek_t(ach, 4);
  return memcmp(ach, "VQTN", 4) == 0;
}

// Four characters of a chunk for messages, each made printable.
static CString ChunkText(const char *pch)
{
  char ach[5];
  for (int i = 0; i < 4; i++) ach[i] = chToValidChar(pch[i]);
  ach[4] = 0;
  return ach;
}

void CBinaryMetaReader::ExpectChunk_t(const char *strChunk)
{
  if (GetBytesLeft() < 4)
    Error_t(CString("Expected ") + ChunkText(strChunk) + " but found the end of the file.");
  char ach[4];
  mr_pstrm->Read_t(ach, 4);
  if (memcmp(ach, strChunk, 4) != 0) {
    Error_t(strFormat("Expected %1 but found %2.", ChunkText(strChunk), ChunkText(ach)));
  }
}

long CBinaryMetaReader::Open_t(void)
{
  ExpectChunk_t("VQTN");
  ExpectChunk_t("META");
  long slCookie;
  ReadInt_t("Cookie", slCookie);
  if ((unsigned long)slCookie == 0xCDAB3412UL) Error_t("Unsupported endianness");
  if ((unsigned long)slCookie != MD_ENDIANNESS_COOKIE) {
    Error_t(strFormat("Wrong endianness cookie %1.", fmtSpec((unsigned long)slCookie, "X")));
  }
  long iVersion;
  ReadInt_t("Version", iVersion);
  if (iVersion < MD_FORMAT_OLDEST || iVersion > MD_FORMAT_VERSION) {
    Error_t(strFormat("Unsupported metadata format version %1 (this program reads %2 to %3).",
                      iVersion, (long)MD_FORMAT_OLDEST, (long)MD_FORMAT_VERSION));
  }
  mr_iVersion = iVersion;
  return iVersion;
}

void CBinaryMetaReader::Close_t(void)
{
  if (mr_iVersion < 3) return;
  ExpectChunk_t("META");
  ExpectChunk_t("END ");
}

void CBinaryMetaReader::ReadInt_t(const char *, long &sl)
{
  if (GetBytesLeft() < 4) Error_t("Unexpected end of file.");
  mr_pstrm->ReadValue_t(sl);
}

void CBinaryMetaReader::ReadString_t(const char *, CString &str)
{
  long slLength;
  ReadInt_t("Length", slLength);
  if (slLength < 0 || slLength > GetBytesLeft()) {
    Error_t(
        strFormat("Invalid string length %1 at offset %2.", slLength, mr_pstrm->GetPosition() - 4));
  }
  mr_pstrm->SeekCur_t(-4);
  str.Read_t(*mr_pstrm);
}

void CBinaryMetaReader::ReadKind_t(const char *strName, DataTypeType &dtt)
{
  long sl;
  ReadInt_t(strName, sl);
  dtt = (DataTypeType)sl;
}

void CBinaryMetaReader::ReadRaw_t(const char *, void *pv, long slSize)
{
  if (slSize <= 0) return;
  if (slSize > GetBytesLeft()) Error_t("Unexpected end of file.");
  mr_pstrm->Read_t(pv, slSize);
}

void CBinaryMetaReader::ReadBlockStart_t(const char *, const char *strChunk)
{
  if (HasChunk(strChunk)) ExpectChunk_t(strChunk);
}

void CBinaryMetaReader::ReadListStart_t(const char *, const char *strChunk, long &ct)
{
  if (HasChunk(strChunk)) ExpectChunk_t(strChunk);
  ReadInt_t("Count", ct);
  if (ct < 0) Error_t(strFormat("Invalid count %1 at offset %2.", ct, mr_pstrm->GetPosition() - 4));
}

void CBinaryMetaReader::SkipRaw_t(const char *, long slSize)
{
  if (slSize <= 0) return;
  if (slSize > GetBytesLeft()) Error_t("Unexpected end of file.");
  char ach[256];
  while (slSize > 0) {
    const long sl = slSize < 256 ? slSize : 256;
    mr_pstrm->Read_t(ach, sl);
    slSize -= sl;
  }
}

// ---- Program version ----

static CString &ProgramVersionText(void)
{
  static CString *_pstr = new CString(verVersionToString(corGetCoreVersion()));
  return *_pstr;
}

const CString &mdGetProgramVersionText(void)
{
  return ProgramVersionText();
}

void mdSetProgramVersionText(const CString &strVersion)
{
  ProgramVersionText() = strVersion;
}

} // namespace QuennelEngine
