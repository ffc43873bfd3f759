#include "core/streams/TextCodec.h"

#include "core/streams/Stream.h"
#include "core/text/Characters.h"
#include "core/text/Conversion.h"

namespace QuennelEngine {

CTextCodec::~CTextCodec()
{
}

// Bytes left to read in a stream.
static inline long BytesLeft(CStream *pstrm)
{
  return pstrm->GetSize() - pstrm->GetPosition();
}

static inline unsigned short FromASCIIByte(unsigned char ub)
{
  return ub == 13 ? (unsigned short)13 : chASCIIToUTF16((char)ub);
}

int CTextCodecASCII::ReadChar(unsigned short *pwch)
{
  if (tc_pstrm->IsAtEOF_t()) return 0;
  unsigned char ub;
  tc_pstrm->Read_t(&ub, 1);
  *pwch = FromASCIIByte(ub);
  return 1;
}

unsigned short CTextCodecASCII::PeekChar(void)
{
  if (tc_pstrm->IsAtEOF_t()) return 0;
  unsigned char ub;
  tc_pstrm->Peek_t(&ub, 1);
  return FromASCIIByte(ub);
}

void CTextCodecASCII::WriteChar(unsigned short wch)
{
  char ch = wch == 13 ? (char)13 : wchUTF16ToASCII(wch);
  tc_pstrm->Write_t(&ch, 1);
}

void CTextCodecASCII::WriteHeader(void)
{
}

void CTextCodecASCII::ToASCIIChar(char *pch, unsigned short wch)
{
  *pch = wchUTF16ToASCII(wch);
}

int CTextCodecUTF8::Decode(unsigned short *pwch, long &ctTaken)
{
  long ctLeft = BytesLeft(tc_pstrm);
  if (ctLeft <= 0) return 0;
  unsigned char aub[4] = {0, 0, 0, 0};
  tc_pstrm->Peek_t(aub, 1);
  int ctBytes = strUTF8GetBytesCount((char)aub[0]);
  if (ctBytes <= 1) {
    ctTaken = 1;
    // A continuation byte without its lead cannot be decoded.
    if (ctBytes == 0)
      *pwch = CH_INVALID;
    else if (aub[0] == 9)
      *pwch = ' ';
    else
      *pwch = aub[0];
    return 1;
  }
  // The sequence's bytes, fewer when the stream ends sooner.
  long ctPeek = ctBytes < ctLeft ? ctBytes : ctLeft;
  tc_pstrm->Peek_t(aub, ctPeek);
  int iPosition = 0;
  *pwch = strReadWChar((const char *)aub, iPosition);
  ctTaken = iPosition > 0 ? iPosition : 1;
  return 1;
}

int CTextCodecUTF8::ReadChar(unsigned short *pwch)
{
  long ctTaken = 0;
  if (!Decode(pwch, ctTaken)) return 0;
  unsigned char aub[4];
  tc_pstrm->Read_t(aub, ctTaken);
  return 1;
}

unsigned short CTextCodecUTF8::PeekChar(void)
{
  unsigned short wch = 0;
  long ctTaken = 0;
  return Decode(&wch, ctTaken) ? wch : 0;
}

void CTextCodecUTF8::WriteChar(unsigned short wch)
{
  if (wch == 9) wch = ' ';
  char ach[3];
  int ct = 0;
  strWriteUTF8Char(wch, ach, ct);
  tc_pstrm->Write_t(ach, ct);
}

void CTextCodecUTF8::WriteHeader(void)
{
  tc_pstrm->Write_t("\xEF\xBB\xBF", 3);
}

void CTextCodecUTF8::ToASCIIChar(char *pch, unsigned short wch)
{
  *pch = wch == 9 ? ' ' : (char)(wch & 0xFF);
}

// Reads (or peeks) one 16-bit unit; a lone last byte ends the text.
static int ReadUnit(CStream *pstrm, unsigned short *pwch, bool bLowFirst, bool bAdvance)
{
  long ctLeft = BytesLeft(pstrm);
  if (ctLeft <= 0) return 0;
  if (ctLeft < 2) {
    if (bAdvance) pstrm->SeekEnd_t(0);
    return 0;
  }
  unsigned char aub[2];
  if (bAdvance) {
    pstrm->Read_t(aub, 2);
  } else {
    pstrm->Peek_t(aub, 2);
  }
  *pwch = bLowFirst ? (unsigned short)(aub[0] | (aub[1] << 8))
                    : (unsigned short)((aub[0] << 8) | aub[1]);
  return 1;
}

static void WriteUnit(CStream *pstrm, unsigned short wch, bool bLowFirst)
{
  unsigned char aub[2];
  aub[bLowFirst ? 0 : 1] = (unsigned char)(wch & 0xFF);
  aub[bLowFirst ? 1 : 0] = (unsigned char)(wch >> 8);
  pstrm->Write_t(aub, 2);
}

int CTextCodecUTF16::ReadChar(unsigned short *pwch)
{
  return ReadUnit(tc_pstrm, pwch, true, true);
}

unsigned short CTextCodecUTF16::PeekChar(void)
{
  unsigned short wch = 0;
  return ReadUnit(tc_pstrm, &wch, true, false) ? wch : 0;
}

void CTextCodecUTF16::WriteChar(unsigned short wch)
{
  WriteUnit(tc_pstrm, wch, true);
}

void CTextCodecUTF16::WriteHeader(void)
{
  WriteUnit(tc_pstrm, 0xFEFF, true);
}

void CTextCodecUTF16::ToASCIIChar(char *pch, unsigned short wch)
{
  *pch = wchUTF16ToASCII(wch);
}

int CTextCodecUTF16Inv::ReadChar(unsigned short *pwch)
{
  return ReadUnit(tc_pstrm, pwch, false, true);
}

unsigned short CTextCodecUTF16Inv::PeekChar(void)
{
  unsigned short wch = 0;
  return ReadUnit(tc_pstrm, &wch, false, false) ? wch : 0;
}

void CTextCodecUTF16Inv::WriteChar(unsigned short wch)
{
  WriteUnit(tc_pstrm, wch, false);
}

void CTextCodecUTF16Inv::WriteHeader(void)
{
  // The unit 0xFFFE written low byte first: the bytes FE FF.
  WriteUnit(tc_pstrm, 0xFFFE, true);
}

} // namespace QuennelEngine
