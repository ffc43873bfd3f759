#include "core/streams/Stream.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/streams/DummyStream.h"
#include "core/streams/MemoryStream.h"
#include "core/streams/TextCodec.h"
#include "core/text/Characters.h"
#include "core/text/Conversion.h"
#include "core/text/Translation.h"

#include <string.h>

namespace QuennelEngine {

long strm_ctEffectiveBytes = 0;
long strm_ctDiskBytes = 0;

CStream::CStream()
    : strm_pImp(new CDummyStream), strm_pCodec(new CTextCodecASCII(this)), strm_eCodec(SCK_ASCII)
{
}

CStream::~CStream()
{
  delete strm_pCodec;
  delete strm_pImp;
}

void CStream::Close(void)
{
  delete strm_pCodec;
  delete strm_pImp;
  strm_pImp = new CDummyStream;
  strm_pCodec = new CTextCodecASCII(this);
  strm_eCodec = SCK_ASCII;
}

void CStream::SetImplementation(CStreamImp *pImp)
{
  if (pImp == nullptr) {
    corLogGuardBreach();
    pImp = new CDummyStream;
  }
  if (pImp == strm_pImp) return;
  delete strm_pImp;
  strm_pImp = pImp;
}

void CStream::CreateMemoryStream(void)
{
  SetImplementation(new CMemoryStream);
}

void CStream::CreateMemoryStream_t(const void *pvData, long slSize)
{
  CreateMemoryStream();
  Write_t(pvData, slSize);
  SeekBeg_t(0);
}

void CStream::CreateMemoryStream_t(CStream &strmSource)
{
  // Read first: the source may be this very stream.
  long slSize = strmSource.GetSize() - strmSource.GetPosition();
  if (slSize < 0) slSize = 0;
  void *pv = slSize > 0 ? memMAlloc(slSize) : nullptr;
  try {
    strmSource.Read_t(pv, slSize);
    CreateMemoryStream_t(pv, slSize);
  } catch (...) {
    memFree(pv);
    throw;
  }
  memFree(pv);
}

void CStream::Read_t(void *pvBuffer, long slSize)
{
  if (slSize == 0) return;
  strm_ctEffectiveBytes += slSize;
  strm_pImp->Read_t(pvBuffer, slSize);
}

void CStream::SkipWindow_t(long slBytes)
{
  if (slBytes == 0) return;
  strm_pImp->SeekCur_t(slBytes);
  strm_ctEffectiveBytes += slBytes;
}

CChunkID CStream::GetID_t(void)
{
  CChunkID cid;
  Read_t(cid.cid_ID, 4);
  return cid;
}

CChunkID CStream::PeekID_t(void)
{
  CChunkID cid;
  Peek_t(cid.cid_ID, 4);
  return cid;
}

void CStream::WriteID_t(const CChunkID &cid)
{
  Write_t(cid.cid_ID, 4);
}

void CStream::ExpectID_t(const CChunkID &cid)
{
  CChunkID cidFound = GetID_t();
  if (cidFound != cid) {
    ThrowF_t(strTranslate("DOZUStream.ChunckIDFailed=Chunk ID validation failed.\n"
                          "Expected ID %1 but found %2\n"),
             ARG_TEXT, (const char *)cid, ARG_TEXT, (const char *)cidFound);
  }
}

void CStream::ReadDataBlock_t(CDataBlock &db, long slMaximum)
{
  if (slMaximum < -1) {
    corLogGuardBreach();
    slMaximum = 0;
  }
  long slSize = GetSize();
  if (slMaximum != -1 && slMaximum < slSize) slSize = slMaximum;
  db.Clear();
  db.Allocate(slSize);
  SeekBeg_t(0);
  if (slSize > 0) Read_t(db.GetData(), slSize);
}

void CStream::ReadWhole_t(CDataBlock &db)
{
  long slPosition = GetPosition();
  ReadDataBlock_t(db);
  SeekBeg_t(slPosition);
}

void CStream::WriteDataBlock_t(CDataBlock &db)
{
  Write_t(db.GetData(), db.GetSize());
}

long CStream::Find_t(const unsigned char *pubPattern, long slLength)
{
  if (pubPattern == nullptr || slLength < 1 || slLength > 0x7FFF) {
    corLogGuardBreach();
    return -1;
  }
  const long slStart = GetPosition();
  const long slBuffer = slLength > 4096 ? slLength : 4096;
  unsigned char *pubChunk = (unsigned char *)memMAlloc(slBuffer);
  unsigned char *pubCandidate = (unsigned char *)memMAlloc(slLength);
  long slFound = -1;
  try {
    for (;;) {
      const long slChunkStart = GetPosition();
      const long slAfterChunk = GetSize() - slChunkStart;
      long slChunk = slAfterChunk < slBuffer ? slAfterChunk : slBuffer;
      if (slChunk <= 0) break;
      Read_t(pubChunk, slChunk);
      const long slLeftAfter = slAfterChunk - slChunk;
      for (long i = 0; i < slChunk && slFound < 0;) {
        const unsigned char *pub =
            (const unsigned char *)memchr(pubChunk + i, pubPattern[0], slChunk - i);
        if (pub == nullptr) break;
        i = (long)(pub - pubChunk);
        long slInChunk = slChunk - i;
        if (slInChunk >= slLength) {
          if (memcmp(pubChunk + i, pubPattern, slLength) == 0) slFound = slChunkStart + i;
        } else if (slLength - slInChunk <= slLeftAfter) {
          // The candidate runs past the chunk: complete it from what follows. A candidate that
          // would run past the stream's end is no match.
          memcpy(pubCandidate, pubChunk + i, slInChunk);
          Peek_t(pubCandidate + slInChunk, slLength - slInChunk);
          if (memcmp(pubCandidate, pubPattern, slLength) == 0) slFound = slChunkStart + i;
        }
        i++;
      }
      if (slFound >= 0) break;
    }
    SeekBeg_t(slFound >= 0 ? slFound : slStart);
  } catch (...) {
    memFree(pubChunk);
    memFree(pubCandidate);
    throw;
  }
  memFree(pubChunk);
  memFree(pubCandidate);
  return slFound;
}

void CStream::ExpectKeyword_t(const CString &strKeyword)
{
  for (const char *pch = strKeyword; *pch != 0; pch++) {
    char ch;
    Read_t(&ch, 1);
    if (ch != *pch) {
      ThrowF_t(strTranslate("DOZUStream.KeywordNotFound=Expected keyword %1 not found"), ARG_TEXT,
               strKeyword.str_String);
    }
  }
}

void CStream::SetCodec(CTextCodec *pCodec, int iKind)
{
  delete strm_pCodec;
  strm_pCodec = pCodec;
  strm_eCodec = (CodecKind)iKind;
}

void CStream::SetASCII(void)
{
  SetCodec(new CTextCodecASCII(this), SCK_ASCII);
}

void CStream::SetUTF8(void)
{
  SetCodec(new CTextCodecUTF8(this), SCK_UTF8);
}

void CStream::SetUTF16(void)
{
  SetCodec(new CTextCodecUTF16(this), SCK_UTF16);
}

void CStream::SetUTF16Inv(void)
{
  SetCodec(new CTextCodecUTF16Inv(this), SCK_UTF16INV);
}

void CStream::ReadTextHeader_t(void)
{
  long slLeft = GetSize() - GetPosition();
  if (slLeft < 2) {
    SetASCII();
    return;
  }
  unsigned char aub[3];
  Peek_t(aub, 2);
  if (aub[0] == 0xFF && aub[1] == 0xFE) {
    SetUTF16();
    SeekCur_t(2);
    return;
  }
  if (aub[0] == 0xFE && aub[1] == 0xFF) {
    SetUTF16Inv();
    SeekCur_t(2);
    return;
  }
  if (slLeft < 3) {
    SetASCII();
    return;
  }
  Peek_t(aub, 3);
  if (aub[0] == 0xEF && aub[1] == 0xBB && aub[2] == 0xBF) {
    SetUTF8();
    SeekCur_t(3);
    return;
  }
  SetASCII();
}

void CStream::WriteTextHeader_t(void)
{
  strm_pCodec->WriteHeader();
}

bool CStream::ReadNormalizedChar_t(unsigned short &wch)
{
  if (!strm_pCodec->ReadChar(&wch)) return false;
  // CR, CR LF, LF and LF CR each become one line feed.
  if (wch == 13) {
    unsigned short wchNext = strm_pCodec->PeekChar();
    if (wchNext == 10) strm_pCodec->ReadChar(&wchNext);
    wch = 10;
  } else if (wch == 10) {
    unsigned short wchNext = strm_pCodec->PeekChar();
    if (wchNext == 13) strm_pCodec->ReadChar(&wchNext);
  }
  return true;
}

char CStream::GetChar_t(void)
{
  if (IsAtEOF_t()) return 0;
  unsigned short wch = 0;
  if (!ReadNormalizedChar_t(wch)) return 0;
  return wchUTF16ToASCII(wch);
}

unsigned short CStream::GetWChar_t(void)
{
  unsigned short wch = 0;
  if (ReadNormalizedChar_t(wch)) return wch;
  if (IsAtEOF_t()) {
    throw CFileException(strTranslate("DOZUStream.EndOfFile=EOF reached!"), GetDescription());
  }
  return 0;
}

// A growable buffer of characters for collecting a line.
template <class CH> struct LineBuffer {
  CH *lb_p = nullptr;
  long lb_ct = 0;
  long lb_ctAllocated = 0;
  ~LineBuffer() { memFree(lb_p); }
  // Room for `ct` more characters. Grows by half at least, so a long line costs linear time.
  CH *Reserve(long ct)
  {
    if (lb_ct + ct > lb_ctAllocated) {
      long ctNeeded = (lb_ct + ct + 256) / 256 * 256;
      long ctGrown = lb_ctAllocated + lb_ctAllocated / 2;
      lb_ctAllocated = ctGrown > ctNeeded ? ctGrown : ctNeeded;
      lb_p = (CH *)memReAlloc(lb_p, memElementBytes(lb_ctAllocated, sizeof(CH)));
    }
    return lb_p + lb_ct;
  }
};

CString CStream::GetLine_t(void)
{
  LineBuffer<char> lb;
  bool bFirst = true;
  const bool bBytes = strm_eCodec == SCK_ASCII || strm_eCodec == SCK_UTF8;
  for (;;) {
    if (bBytes) {
      // Printable ASCII means the same in both 8-bit codecs: take it in chunks.
      long slLeft = GetSize() - GetPosition();
      long slChunk = slLeft < 4096 ? slLeft : 4096;
      if (slChunk > 0) {
        char *pch = lb.Reserve(slChunk);
        Peek_t(pch, slChunk);
        long i = 0;
        while (i < slChunk && pch[i] >= 32 && pch[i] < 127) i++;
        if (i > 0) {
          lb.lb_ct += i;
          strm_ctEffectiveBytes += i;
          SeekCur_t(i);
          bFirst = false;
          if (i == slChunk) continue;
        }
      }
    }
    unsigned short wch;
    if (!ReadNormalizedChar_t(wch)) {
      if (bFirst && IsAtEOF_t()) {
        throw CFileException(strTranslate("DOZUStream.EndOfFile=EOF reached!"), GetDescription());
      }
      break;
    }
    bFirst = false;
    if (wch == 10) break;
    int iPosition = 0;
    strWriteUTF8Char(wch, lb.Reserve(3), iPosition);
    lb.lb_ct += iPosition;
  }
  return CString(lb.lb_p ? lb.lb_p : "", (int)lb.lb_ct);
}

CWString CStream::GetLineW_t(void)
{
  LineBuffer<unsigned short> lb;
  bool bFirst = true;
  for (;;) {
    unsigned short wch;
    if (!ReadNormalizedChar_t(wch)) {
      if (bFirst && IsAtEOF_t()) {
        throw CFileException(strTranslate("DOZUStream.EndOfFile=EOF reached!"), GetDescription());
      }
      break;
    }
    bFirst = false;
    if (wch == 10) break;
    *lb.Reserve(1) = wch;
    lb.lb_ct++;
  }
  static const unsigned short wchNone = 0;
  return CWString(lb.lb_p ? lb.lb_p : &wchNone, (int)lb.lb_ct);
}

void CStream::PutWChar_t(unsigned short wch)
{
  if (wch == 10) strm_pCodec->WriteChar(13);
  strm_pCodec->WriteChar(wch);
}

void CStream::PutText_t(const char *strText)
{
  if (strText == nullptr) return;
  // The text is UTF-8: decode it so every codec gets whole characters.
  int iPosition = 0;
  while (strText[iPosition] != 0) PutWChar_t(strReadWChar(strText, iPosition));
}

void CStream::PutLine_t(const char *strLine)
{
  PutText_t(strLine);
  PutWChar_t(10);
}

void CStream::PutTextW_t(const unsigned short *wstrText)
{
  if (wstrText == nullptr) return;
  for (; *wstrText != 0; wstrText++) PutWChar_t(*wstrText);
}

void CStream::PutLineW_t(const unsigned short *wstrLine)
{
  PutTextW_t(wstrLine);
  PutWChar_t(10);
}

void CStream::FPrintFV(const char *strFormat, va_list args)
{
  PutText_t(strPrintFV(strFormat, args));
}

void CStream::FPrintF(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  FPrintFV(strFormat, args);
  va_end(args);
}

void CStream::FPrintFV(const unsigned short *wstrFormat, va_list args)
{
  CWString wstr = wstrPrintFV(wstrFormat, args);
  for (const unsigned short *pwch = wstr; *pwch != 0; pwch++) PutWChar_t(*pwch);
}

void CStream::FPrintF(const unsigned short *wstrFormat, ...)
{
  va_list args;
  va_start(args, wstrFormat);
  FPrintFV(wstrFormat, args);
  va_end(args);
}

// The scanner's source: line-normalised characters, remembering where the last one began so
// exactly that one can be given back.
struct ScanSource {
  CStream *ss_pstrm;
  long ss_slBeforeLast;
  bool ss_bLastRead; // the scanner holds a character it has not consumed
};

static int GetScanChar(char &ch, void *pv)
{
  ScanSource *pss = (ScanSource *)pv;
  pss->ss_slBeforeLast = pss->ss_pstrm->GetPosition();
  unsigned short wch = 0;
  pss->ss_bLastRead = pss->ss_pstrm->ReadNormalizedChar_t(wch);
  ch = pss->ss_bLastRead ? wchUTF16ToASCII(wch) : 0;
  return pss->ss_bLastRead;
}

static int GetScanWChar(unsigned short &wch, void *pv)
{
  ScanSource *pss = (ScanSource *)pv;
  pss->ss_slBeforeLast = pss->ss_pstrm->GetPosition();
  pss->ss_bLastRead = pss->ss_pstrm->ReadNormalizedChar_t(wch);
  if (!pss->ss_bLastRead) wch = 0;
  return pss->ss_bLastRead;
}

long CStream::FScanFV(const char *strFormat, va_list args)
{
  long slStart = GetPosition();
  ScanSource ss = {this, slStart, false};
  if (!fmtInputFV(GetScanChar, &ss, strFormat, args)) return -1;
  // Give back the character the scanner read ahead, whatever its width in bytes.
  if (ss.ss_bLastRead) SeekBeg_t(ss.ss_slBeforeLast);
  return GetPosition() - slStart;
}

long CStream::FScanF(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  long sl = FScanFV(strFormat, args);
  va_end(args);
  return sl;
}

long CStream::FScanFV(const unsigned short *wstrFormat, va_list args)
{
  long slStart = GetPosition();
  ScanSource ss = {this, slStart, false};
  if (!wfmtInputFV(GetScanWChar, &ss, wstrFormat, args)) return -1;
  if (ss.ss_bLastRead) SeekBeg_t(ss.ss_slBeforeLast);
  return GetPosition() - slStart;
}

long CStream::FScanF(const unsigned short *wstrFormat, ...)
{
  va_list args;
  va_start(args, wstrFormat);
  long sl = FScanFV(wstrFormat, args);
  va_end(args);
  return sl;
}

void CStream::Throw_t(const char *strFormat, ...)
{
  va_list args;
  va_start(args, strFormat);
  CString strMessage = strPrintFV(strFormat, args);
  va_end(args);
  throw CFileException(strMessage, GetDescription());
}

} // namespace QuennelEngine
