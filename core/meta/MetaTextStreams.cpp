// The text form of metadata files. The writer formats into its own buffer and hands the stream
// large pieces; the reader takes the stream in large pieces and cuts lines out of them in place,
// so neither pays for the stream's per-character text layer. Every line the reader takes counts
// for the line number of its messages, also the empty ones it passes over.
#include "core/meta/MetaTextStreams.h"

#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/memory/StaticStackArray.h"
#include "core/streams/Stream.h"
#include "core/text/FormatArgs.h"

#include <stdio.h>
#include <string.h>

namespace QuennelEngine {

namespace {

const char *const HEADER_TEXT = "QuennelEngine2 MetaData";
const long HEADER_PEEK = 10;
const long MAX_INDENT = 40;
const long WRITE_PIECE = 64 * 1024;
const long READ_PIECE = 64 * 1024;

struct KindKeyword {
  long kk_iKind;
  const char *kk_strKeyword;
};
// Kinds 15 to 17 have no keyword of their own elsewhere; they get these so that every type that
// saves in binary also saves in text.
const KindKeyword _md_akkKeywords[] = {
    {DTT_SIMPLE, "Simple"},
    {DTT_VALUEFIELD, "ValueField"},
    {DTT_POINTER, "Pointer"},
    {DTT_REFERENCE, "Reference"},
    {DTT_ARRAY, "Array"},
    {DTT_STRUCT, "Struct"},
    {DTT_STATICARRAY, "CStaticArray"},
    {DTT_STATICSTACKARRAY, "CStaticStackArray"},
    {DTT_DYNAMICCONTAINER, "CDynamicContainer"},
    {DTT_FUNCTION, "Function"},
    {DTT_VOID, "Void"},
    {DTT_SMARTPOINTER, "SmartPointer"},
    {DTT_HANDLE, "Handle"},
    {DTT_TYPEDEF, "Typedef"},
    {DTT_SCRIPTSTATE, "ScriptState"},
    {DTT_SCRIPTLATENT, "ScriptLatent"},
    {DTT_UNKNOWN, "Unknown"},
};

inline bool IsBlank(char ch)
{
  return ch == ' ' || ch == '\t';
}

inline char Lower(char ch)
{
  return ch >= 'A' && ch <= 'Z' ? (char)(ch - 'A' + 'a') : ch;
}

inline int HexValue(char ch)
{
  if (ch >= '0' && ch <= '9') return ch - '0';
  if (ch >= 'a' && ch <= 'f') return ch - 'a' + 10;
  if (ch >= 'A' && ch <= 'F') return ch - 'A' + 10;
  return -1;
}

const char *SkipBlanks(const char *pch, const char *pchEnd)
{
  while (pch < pchEnd && IsBlank(*pch)) pch++;
  return pch;
}

// A decimal integer with an optional sign filling [pch, pchEnd) exactly, within 32 bits.
bool ParseInt(const char *pch, const char *pchEnd, long &sl)
{
  bool bNegative = false;
  if (pch < pchEnd && (*pch == '-' || *pch == '+')) bNegative = *pch++ == '-';
  if (pch >= pchEnd) return false;
  long long ll = 0;
  for (; pch < pchEnd; pch++) {
    if (*pch < '0' || *pch > '9') return false;
    ll = ll * 10 + (*pch - '0');
    if (ll > 2147483648LL) return false;
  }
  if (bNegative) ll = -ll;
  if (ll > 2147483647LL) return false;
  sl = (long)ll;
  return true;
}

// The writer's pieces. Names come from the file writer as plain C texts; a null one is empty.
const char _md_achBlanks[MAX_INDENT + 1] = "                                        ";
// "-2147483648"
const long MAX_INT_CHARS = 11;

inline long NameLength(const char *str)
{
  return str != nullptr ? (long)strlen(str) : 0;
}

inline char *PutName(char *pch, const char *str, long ct)
{
  memcpy(pch, str, ct);
  return pch + ct;
}

// The two digits of 0 to 99, for decimals made two digits a step.
struct DigitPairs {
  char dp_ach[200];
  constexpr DigitPairs() : dp_ach()
  {
    for (int i = 0; i < 100; i++) {
      dp_ach[i * 2] = (char)('0' + i / 10);
      dp_ach[i * 2 + 1] = (char)('0' + i % 10);
    }
  }
};
constexpr DigitPairs _md_dpDigits;

// A signed decimal, as the earlier digit-by-digit loop wrote it: no leading zeros or plus.
inline char *PutDecimal(char *pch, long sl)
{
  unsigned long ul = (unsigned long)sl;
  if (sl < 0) {
    *pch++ = '-';
    ul = 0UL - ul;
  }
  long ctDigits = 1;
  for (unsigned long ulLimit = 10; ctDigits < 10 && ul >= ulLimit; ulLimit *= 10) ctDigits++;
  char *pchEnd = pch + ctDigits;
  char *pchDigit = pchEnd;
  while (ul >= 100) {
    const unsigned long ulPair = ul % 100;
    ul /= 100;
    pchDigit -= 2;
    memcpy(pchDigit, _md_dpDigits.dp_ach + ulPair * 2, 2);
  }
  if (ul >= 10) {
    pchDigit -= 2;
    memcpy(pchDigit, _md_dpDigits.dp_ach + ul * 2, 2);
  } else {
    pchDigit[-1] = (char)('0' + ul);
  }
  return pchEnd;
}

// Each byte as two lower-case hex digits and a blank ("00 00 80 3f "), four bytes apart so that
// each goes as one word (the fourth lands where the next byte or the line end goes).
struct HexTriples {
  char ht_ach[256 * 4];
  constexpr HexTriples() : ht_ach()
  {
    const char achHex[] = "0123456789abcdef";
    for (int i = 0; i < 256; i++) {
      ht_ach[i * 4] = achHex[i >> 4];
      ht_ach[i * 4 + 1] = achHex[i & 15];
      ht_ach[i * 4 + 2] = ' ';
      ht_ach[i * 4 + 3] = ' ';
    }
  }
};
constexpr HexTriples _md_htHex;

inline char *PutHexRun(char *pch, const unsigned char *pub, long ct)
{
  for (long i = 0; i < ct; i++) {
    memcpy(pch, _md_htHex.ht_ach + pub[i] * 4, 4);
    pch += 3;
  }
  return pch;
}

// The value of each character as a hex digit, or -1.
struct HexValues {
  signed char hv_ac[256];
  constexpr HexValues() : hv_ac()
  {
    for (int i = 0; i < 256; i++) hv_ac[i] = -1;
    for (int i = 0; i < 10; i++) hv_ac['0' + i] = (signed char)i;
    for (int i = 0; i < 6; i++) {
      hv_ac['a' + i] = (signed char)(10 + i);
      hv_ac['A' + i] = (signed char)(10 + i);
    }
  }
};
constexpr HexValues _md_hvHex;

// A run of `ct` bytes as the writer writes them ("00 00 80 3f", the line's blanks trimmed),
// exactly filling its 3 * ct - 1 characters. Stops at the first fault and answers false; the
// bytes before it are stored (or none, for a null `pub`).
inline bool ReadHexRun(const char *pch, unsigned char *pub, long ct)
{
  const unsigned char *puch = (const unsigned char *)pch;
  for (long i = 0; i < ct; i++, puch += 3) {
    const int iHigh = _md_hvHex.hv_ac[puch[0]];
    const int iLow = _md_hvHex.hv_ac[puch[1]];
    if ((iHigh | iLow) < 0 || (i + 1 < ct && puch[2] != ' ')) return false;
    if (pub != nullptr) pub[i] = (unsigned char)(iHigh * 16 + iLow);
  }
  return true;
}

// The first CR or LF in [pch, pchEnd), or pchEnd. Words with no byte below 14 (no CR, LF or
// tab) are passed over whole.
inline const char *FindLineEnd(const char *pch, const char *pchEnd)
{
  while (pchEnd - pch >= 4) {
    unsigned long ul;
    memcpy(&ul, pch, 4);
    if (((ul - 0x0E0E0E0EUL) & ~ul & 0x80808080UL) != 0) break;
    pch += 4;
  }
  while (pch < pchEnd && *pch != '\n' && *pch != '\r') pch++;
  return pch;
}

bool HasBOM(const char *pch, long ct)
{
  return ct >= 3 && (unsigned char)pch[0] == 0xEF && (unsigned char)pch[1] == 0xBB &&
         (unsigned char)pch[2] == 0xBF;
}

} // namespace

const char *mdKindKeyword(long iKind)
{
  for (const KindKeyword &kk : _md_akkKeywords) {
    if (kk.kk_iKind == iKind) return kk.kk_strKeyword;
  }
  return "Invalid";
}

long mdKindFromKeyword(const char *strKeyword)
{
  if (strKeyword == nullptr) return -1;
  for (const KindKeyword &kk : _md_akkKeywords) {
    if (strcmp(kk.kk_strKeyword, strKeyword) == 0) return kk.kk_iKind;
  }
  return -1;
}

// ---- Writer ----

CTextMetaWriter::CTextMetaWriter(CStream &strm)
    : CMetaWriter(strm), tw_pchBuffer(nullptr), tw_ctUsed(0), tw_ctAllocated(0), tw_iLevel(0)
{
}

CTextMetaWriter::~CTextMetaWriter(void)
{
  memFree(tw_pchBuffer);
}

void CTextMetaWriter::Reserve_t(long ct)
{
  if (tw_ctUsed + ct <= tw_ctAllocated) return;
  if (tw_ctUsed >= WRITE_PIECE) Flush_t();
  if (tw_ctUsed + ct <= tw_ctAllocated) return;
  long ctNew = tw_ctAllocated < WRITE_PIECE * 2 ? WRITE_PIECE * 2 : tw_ctAllocated;
  while (ctNew < tw_ctUsed + ct) ctNew *= 2;
  char *pchNew = (char *)memMAlloc(ctNew);
  if (tw_ctUsed > 0) memcpy(pchNew, tw_pchBuffer, tw_ctUsed);
  memFree(tw_pchBuffer);
  tw_pchBuffer = pchNew;
  tw_ctAllocated = ctNew;
}

void CTextMetaWriter::Flush_t(void)
{
  if (tw_ctUsed == 0) return;
  const long ct = tw_ctUsed;
  tw_ctUsed = 0;
  mw_pstrm->Write_t(tw_pchBuffer, ct);
}

// Every line is made in place: room for all of it is taken once, then its pieces are copied in
// without a check each (a line's pieces are few and small, the hex of a raw block aside).
inline char *CTextMetaWriter::StartLine_t(long ctMost)
{
  long ctIndent = tw_iLevel * 2;
  if (ctIndent > MAX_INDENT) ctIndent = MAX_INDENT;
  Reserve_t(ctIndent + ctMost + 2);
  char *pch = tw_pchBuffer + tw_ctUsed;
  memcpy(pch, _md_achBlanks, ctIndent);
  return pch + ctIndent;
}

inline void CTextMetaWriter::EndLine_t(char *pch)
{
  pch[0] = '\r';
  pch[1] = '\n';
  tw_ctUsed = (long)(pch + 2 - tw_pchBuffer);
  if (tw_ctUsed >= WRITE_PIECE) Flush_t();
}

void CTextMetaWriter::Open_t(void)
{
  tw_iLevel = 0;
  // The header line stands for the binary form's magic, byte-order cookie, format version and
  // program version: text files do not record the program that saved them.
  WriteBlockStart_t(strFormat("%1 Version %2", HEADER_TEXT, (long)MD_FORMAT_VERSION), nullptr);
}

void CTextMetaWriter::Close_t(void)
{
  WriteBlockEnd_t();
  Flush_t();
}

void CTextMetaWriter::WriteInt_t(const char *strName, long sl)
{
  const long ctName = NameLength(strName);
  char *pch = StartLine_t(ctName + 2 + MAX_INT_CHARS);
  pch = PutName(pch, strName, ctName);
  pch[0] = ':';
  pch[1] = ' ';
  pch = PutDecimal(pch + 2, sl);
  EndLine_t(pch);
}

void CTextMetaWriter::WriteRaw_t(const char *strName, const void *pv, long slSize)
{
  const long ctName = NameLength(strName);
  const long ctHex = slSize > 0 ? slSize * 3 : 0;
  char *pch = StartLine_t(ctName + 2 + ctHex);
  pch = PutName(pch, strName, ctName);
  pch[0] = ':';
  pch[1] = ' ';
  pch = PutHexRun(pch + 2, (const unsigned char *)pv, slSize);
  EndLine_t(pch);
}

void CTextMetaWriter::WriteKind_t(const char *strName, DataTypeType dtt)
{
  const char *strKeyword = mdKindKeyword(dtt);
  const long ctName = NameLength(strName);
  const long ctKeyword = (long)strlen(strKeyword);
  char *pch = StartLine_t(ctName + 2 + ctKeyword);
  pch = PutName(pch, strName, ctName);
  pch[0] = ':';
  pch[1] = ' ';
  pch = PutName(pch + 2, strKeyword, ctKeyword);
  EndLine_t(pch);
}

void CTextMetaWriter::WriteString_t(const char *strName, const CString &str)
{
  const long ctName = NameLength(strName);
  char *pch = StartLine_t(ctName + 3);
  pch = PutName(pch, strName, ctName);
  memcpy(pch, ": \"", 3);
  tw_ctUsed = (long)(pch + 3 - tw_pchBuffer);
  const char *pchText = str;
  const char *pchRun = pchText;
  for (;; pchText++) {
    const char ch = *pchText;
    if (ch != 0 && ch != '\n' && ch != '\r' && ch != '"' && ch != '\\') continue;
    // The run, its escape and the closing quote and line end.
    const long ctRun = (long)(pchText - pchRun);
    Reserve_t(ctRun + 5);
    pch = tw_pchBuffer + tw_ctUsed;
    memcpy(pch, pchRun, ctRun);
    pch += ctRun;
    pchRun = pchText + 1;
    if (ch == 0) break;
    pch[0] = '\\';
    if (ch == '\n') {
      // The text goes on in a line of its own, one level deeper.
      pch[1] = 'n';
      EndLine_t(pch + 2);
      tw_iLevel++;
      pch = StartLine_t(1);
      tw_iLevel--;
      *pch++ = '"';
    } else {
      pch[1] = ch == '\r' ? 'r' : ch;
      pch += 2;
    }
    tw_ctUsed = (long)(pch - tw_pchBuffer);
  }
  *pch++ = '"';
  EndLine_t(pch);
}

void CTextMetaWriter::WriteBlockStart_t(const char *strName, const char *)
{
  const long ctName = NameLength(strName);
  char *pch = StartLine_t(ctName + 2);
  if (ctName > 0) {
    pch = PutName(pch, strName, ctName);
    *pch++ = ' ';
  }
  *pch++ = '{';
  EndLine_t(pch);
  tw_iLevel++;
}

void CTextMetaWriter::WriteBlockEnd_t(void)
{
  if (tw_iLevel > 0) tw_iLevel--;
  char *pch = StartLine_t(1);
  *pch++ = '}';
  EndLine_t(pch);
}

void CTextMetaWriter::WriteListStart_t(const char *strName, const char *, long ct)
{
  const long ctName = NameLength(strName);
  char *pch = StartLine_t(ctName + 1 + MAX_INT_CHARS + 2);
  pch = PutName(pch, strName, ctName);
  *pch++ = ' ';
  pch = PutDecimal(pch, ct);
  pch[0] = ' ';
  pch[1] = '{';
  EndLine_t(pch + 2);
  tw_iLevel++;
}

// The three lines of a member go into one reservation: "name {", the item one level deeper, "}".
char *CTextMetaWriter::StartMember_t(const char *strMember, const char *strName, long ctItem)
{
  const long ctMember = NameLength(strMember);
  const long ctName = NameLength(strName);
  long ctIndent = tw_iLevel * 2;
  if (ctIndent > MAX_INDENT) ctIndent = MAX_INDENT;
  long ctInner = (tw_iLevel + 1) * 2;
  if (ctInner > MAX_INDENT) ctInner = MAX_INDENT;
  Reserve_t(ctIndent + ctMember + 4 + ctInner + ctName + 2 + ctItem + 2 + ctIndent + 3);
  char *pch = tw_pchBuffer + tw_ctUsed;
  memcpy(pch, _md_achBlanks, ctIndent);
  pch += ctIndent;
  if (ctMember > 0) {
    pch = PutName(pch, strMember, ctMember);
    *pch++ = ' ';
  }
  memcpy(pch, "{\r\n", 3);
  pch += 3;
  memcpy(pch, _md_achBlanks, ctInner);
  pch = PutName(pch + ctInner, strName, ctName);
  pch[0] = ':';
  pch[1] = ' ';
  return pch + 2;
}

void CTextMetaWriter::EndMember_t(char *pch)
{
  long ctIndent = tw_iLevel * 2;
  if (ctIndent > MAX_INDENT) ctIndent = MAX_INDENT;
  memcpy(pch, "\r\n", 2);
  memcpy(pch + 2, _md_achBlanks, ctIndent);
  pch += 2 + ctIndent;
  *pch++ = '}';
  EndLine_t(pch);
}

void CTextMetaWriter::WriteRawMember_t(const char *strMember, const char *strName, const void *pv,
                                       long slSize)
{
  const long ctHex = slSize > 0 ? slSize * 3 : 0;
  char *pch = StartMember_t(strMember, strName, ctHex);
  EndMember_t(PutHexRun(pch, (const unsigned char *)pv, slSize));
}

void CTextMetaWriter::WriteIntMember_t(const char *strMember, const char *strName, long sl)
{
  char *pch = StartMember_t(strMember, strName, MAX_INT_CHARS);
  EndMember_t(PutDecimal(pch, sl));
}

void CTextMetaWriter::WriteListEnd_t(void)
{
  WriteBlockEnd_t();
}

// ---- Reader ----

CTextMetaReader::CTextMetaReader(CStream &strm)
    : CMetaReader(strm), tr_pchBuffer(nullptr), tr_ctAllocated(0), tr_iStart(0), tr_iEnd(0),
      tr_bStreamDone(false), tr_pchLine(""), tr_ctLine(0), tr_bHeld(false), tr_iLine(0),
      tr_pchScratch(nullptr), tr_ctScratch(0)
{
}

CTextMetaReader::~CTextMetaReader(void)
{
  memFree(tr_pchBuffer);
  memFree(tr_pchScratch);
}

int CTextMetaReader::IsMetaFile(void)
{
  return mdPeekMetaFileForm(*mr_pstrm) == 2;
}

void CTextMetaReader::Error_t(const CString &strMessage)
{
  throw CSimpleException(strFormat("%1(%2): ", mr_pstrm->GetDescription(), tr_iLine) + strMessage);
}

long CTextMetaReader::GetBytesLeft(void) const
{
  long sl = mr_pstrm->GetSize() - mr_pstrm->GetPosition();
  if (sl < 0) sl = 0;
  return sl + (tr_iEnd - tr_iStart);
}

// Takes more of the stream behind what is still unused; false when nothing more came.
bool CTextMetaReader::Fill_t(void)
{
  if (tr_bStreamDone) return false;
  const long ctKept = tr_iEnd - tr_iStart;
  long slLeft = mr_pstrm->GetSize() - mr_pstrm->GetPosition();
  if (slLeft <= 0) {
    tr_bStreamDone = true;
    return false;
  }
  const long ctPiece = slLeft < READ_PIECE ? slLeft : READ_PIECE;
  if (ctKept + ctPiece > tr_ctAllocated || tr_iStart > 0) {
    long ctNew = tr_ctAllocated < READ_PIECE * 2 ? READ_PIECE * 2 : tr_ctAllocated;
    while (ctNew < ctKept + ctPiece) ctNew *= 2;
    if (ctNew != tr_ctAllocated) {
      char *pchNew = (char *)memMAlloc(ctNew);
      if (ctKept > 0) memcpy(pchNew, tr_pchBuffer + tr_iStart, ctKept);
      memFree(tr_pchBuffer);
      tr_pchBuffer = pchNew;
      tr_ctAllocated = ctNew;
    } else if (ctKept > 0) {
      memmove(tr_pchBuffer, tr_pchBuffer + tr_iStart, ctKept);
    }
    tr_iStart = 0;
    tr_iEnd = ctKept;
  }
  mr_pstrm->Read_t(tr_pchBuffer + tr_iEnd, ctPiece);
  tr_iEnd += ctPiece;
  return true;
}

bool CTextMetaReader::NextLine_t(void)
{
  if (tr_bHeld) {
    tr_bHeld = false;
    return true;
  }
  for (;;) {
    long i = tr_iStart;
    long iLineEnd = -1, iNext = -1;
    // The indentation, four blanks at a time, is passed once: the search for the line's end
    // starts after it, and the trimming below goes on from there.
    long ctIndent = -1;
    for (;;) {
      const char *pch = tr_pchBuffer + i;
      const char *pchEnd = tr_pchBuffer + tr_iEnd;
      if (ctIndent < 0) {
        unsigned long ulWord;
        while (pchEnd - pch >= 4 && (memcpy(&ulWord, pch, 4), ulWord == 0x20202020UL)) pch += 4;
        ctIndent = (long)(pch - tr_pchBuffer) - tr_iStart;
      }
      pch = FindLineEnd(pch, pchEnd);
      i = (long)(pch - tr_pchBuffer);
      if (i < tr_iEnd) {
        // A CR at the end of what is there may be the first half of CR LF.
        if (*pch == '\r' && i + 1 == tr_iEnd && !tr_bStreamDone) {
          const long iFrom = i - tr_iStart;
          Fill_t();
          i = tr_iStart + iFrom;
          continue;
        }
        iLineEnd = i;
        iNext = i + 1;
        if (tr_pchBuffer[i] == '\r' && iNext < tr_iEnd && tr_pchBuffer[iNext] == '\n') iNext++;
        break;
      }
      const long iFrom = i - tr_iStart;
      if (!Fill_t()) break;
      i = tr_iStart + iFrom;
    }
    if (iLineEnd < 0) {
      if (tr_iStart >= tr_iEnd) return false;
      iLineEnd = iNext = tr_iEnd;
    }
    tr_iLine++;
    const char *pchFirst = tr_pchBuffer + tr_iStart + ctIndent;
    const char *pchLast = tr_pchBuffer + iLineEnd;
    tr_iStart = iNext;
    if (pchFirst > pchLast) pchFirst = pchLast;
    while (pchFirst < pchLast && IsBlank(*pchFirst)) pchFirst++;
    while (pchLast > pchFirst && IsBlank(pchLast[-1])) pchLast--;
    if (pchFirst == pchLast) continue;
    tr_pchLine = pchFirst;
    tr_ctLine = (long)(pchLast - pchFirst);
    return true;
  }
}

bool CTextMetaReader::HoldNextLine_t(void)
{
  if (!tr_bHeld) tr_bHeld = NextLine_t();
  return tr_bHeld;
}

bool CTextMetaReader::IsNextBlock_t(const char *strName)
{
  if (!HoldNextLine_t()) return false;
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = AfterName(strName);
  if (pch != nullptr) pch = SkipBlanks(pch, pchEnd);
  return pch != nullptr && pch + 1 == pchEnd && *pch == '{';
}

bool CTextMetaReader::IsNextItem_t(const char *strName)
{
  if (!HoldNextLine_t()) return false;
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = AfterName(strName);
  if (pch != nullptr) pch = SkipBlanks(pch, pchEnd);
  return pch != nullptr && pch < pchEnd && *pch == ':';
}

void CTextMetaReader::MustNextLine_t(void)
{
  if (!NextLine_t()) {
    tr_pchLine = "";
    tr_ctLine = 0;
    Error_t("Unexpected end of file.");
  }
}

const char *CTextMetaReader::AfterName(const char *strName) const
{
  if (strName == nullptr) return tr_pchLine;
  // One pass: the name ends the comparison, a line too short fails it.
  long i = 0;
  for (; strName[i] != 0; i++) {
    if (i == tr_ctLine) return nullptr;
    if (tr_pchLine[i] != strName[i] && Lower(tr_pchLine[i]) != Lower(strName[i])) return nullptr;
  }
  return tr_pchLine + i;
}

// The current line after its name and a colon, and the blanks after them.
const char *CTextMetaReader::AfterNameAndColon_t(const char *strName, const char *strError)
{
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = AfterName(strName);
  if (pch != nullptr) pch = SkipBlanks(pch, pchEnd);
  if (pch == nullptr || pch >= pchEnd || *pch != ':') Error_t(strFormat(strError, strName));
  return SkipBlanks(pch + 1, pchEnd);
}

long CTextMetaReader::Open_t(void)
{
  Fill_t();
  if (HasBOM(tr_pchBuffer + tr_iStart, tr_iEnd - tr_iStart)) tr_iStart += 3;
  const long ctHeader = (long)strlen(HEADER_TEXT);
  if (!NextLine_t() || tr_ctLine < ctHeader || memcmp(tr_pchLine, HEADER_TEXT, ctHeader) != 0) {
    Error_t("Bad metadata header");
  }
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = SkipBlanks(tr_pchLine + ctHeader, pchEnd);
  long iVersion = -1;
  const char *pchNumber = pch + 7;
  if (pchEnd - pch > 7 && memcmp(pch, "Version", 7) == 0 && pchEnd[-1] == '{') {
    pchNumber = SkipBlanks(pchNumber, pchEnd);
    const char *pchNumberEnd = pchEnd - 1;
    while (pchNumberEnd > pchNumber && IsBlank(pchNumberEnd[-1])) pchNumberEnd--;
    if (!ParseInt(pchNumber, pchNumberEnd, iVersion)) iVersion = -1;
  }
  if (iVersion < 0) Error_t("Bad metadata format version");
  if (iVersion < MD_FORMAT_OLDEST || iVersion > MD_FORMAT_VERSION) {
    Error_t(strFormat("Unsupported metadata format version %1 (this program reads %2 to %3).",
                      iVersion, (long)MD_FORMAT_OLDEST, (long)MD_FORMAT_VERSION));
  }
  mr_iVersion = iVersion;
  return iVersion;
}

void CTextMetaReader::Close_t(void)
{
  ReadEndLine_t("Expected end of block");
}

void CTextMetaReader::ReadInt_t(const char *strName, long &sl)
{
  MustNextLine_t();
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pchRest = AfterName(strName);
  if (pchRest == nullptr) Error_t(strFormat("Expected keyword '%1'", strName));
  const char *pch = SkipBlanks(pchRest, pchEnd);
  if (pch < pchEnd && *pch == ':' && ParseInt(SkipBlanks(pch + 1, pchEnd), pchEnd, sl)) {
    return;
  }
  Error_t(strFormat("Invalid integer '%1'", CString(pchRest, (int)(pchEnd - pchRest))));
}

void CTextMetaReader::ReadKind_t(const char *strName, DataTypeType &dtt)
{
  MustNextLine_t();
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = AfterNameAndColon_t(strName, "Expected keyword '%1'");
  const CString strKeyword(pch, (int)(pchEnd - pch));
  const long iKind = mdKindFromKeyword(strKeyword);
  if (iKind < 0) Error_t(strFormat("Unknown type '%1'.", strKeyword));
  dtt = (DataTypeType)iKind;
}

void CTextMetaReader::ReadRawLine_t(const char *strName, unsigned char *pub, long slSize)
{
  MustNextLine_t();
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = AfterNameAndColon_t(strName, "Expected data for simple type");
  if (slSize > 0 && pchEnd - pch == slSize * 3 - 1 && ReadHexRun(pch, pub, slSize)) return;
  // Anything else is read digit by digit, for the message at the first fault (the bytes before
  // it are stored as the run read stored them).
  for (long i = 0; i < slSize; i++) {
    if (i > 0) {
      if (pch >= pchEnd || *pch != ' ' || (pch + 1 < pchEnd && pch[1] == ' '))
        Error_t("Invalid data for simple type");
      pch++;
    }
    if (pchEnd - pch < 2) Error_t("Invalid data for simple type");
    const int iHigh = HexValue(pch[0]);
    const int iLow = HexValue(pch[1]);
    if (iHigh < 0) Error_t(strFormat("Invalid hex digit '%1'", CString(pch, 1)));
    if (iLow < 0) Error_t(strFormat("Invalid hex digit '%1'", CString(pch + 1, 1)));
    if (pub != nullptr) pub[i] = (unsigned char)(iHigh * 16 + iLow);
    pch += 2;
  }
  if (pch != pchEnd) Error_t("Invalid data for simple type");
}

void CTextMetaReader::ReadRaw_t(const char *strName, void *pv, long slSize)
{
  ReadRawLine_t(strName, (unsigned char *)pv, slSize);
}

void CTextMetaReader::SkipRaw_t(const char *strName, long slSize)
{
  ReadRawLine_t(strName, nullptr, slSize);
}

void CTextMetaReader::ReadString_t(const char *strName, CString &str)
{
  MustNextLine_t();
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = AfterName(strName);
  if (pch != nullptr) pch = SkipBlanks(pch, pchEnd);
  if (pch == nullptr || pch >= pchEnd || *pch != ':')
    Error_t(strFormat("Expected keyword '%1'", strName));
  pch = SkipBlanks(pch + 1, pchEnd);
  if (pch >= pchEnd || *pch != '"') Error_t("Quote (\") expected");
  pch++;
  // Most texts are one line without escapes: taken from the line as they stand.
  const char *pchPlain = pch;
  while (pchPlain < pchEnd && *pchPlain != '"' && *pchPlain != '\\') pchPlain++;
  if (pchPlain + 1 == pchEnd && *pchPlain == '"') {
    str = pchPlain == pch ? CString() : CString(pch, (int)(pchPlain - pch));
    return;
  }
  long ct = 0;
  auto Add = [this, &ct](char ch) {
    if (ct + 1 >= tr_ctScratch) {
      const long ctNew = tr_ctScratch < 256 ? 256 : tr_ctScratch * 2;
      char *pchNew = (char *)memMAlloc(ctNew);
      if (ct > 0) memcpy(pchNew, tr_pchScratch, ct);
      memFree(tr_pchScratch);
      tr_pchScratch = pchNew;
      tr_ctScratch = ctNew;
    }
    tr_pchScratch[ct++] = ch;
  };
  for (;;) {
    if (pch >= pchEnd) {
      // The text goes on in the next line, after its own opening quote.
      MustNextLine_t();
      pch = tr_pchLine;
      pchEnd = tr_pchLine + tr_ctLine;
      if (*pch != '"') Error_t("Quote (\") expected");
      pch++;
      continue;
    }
    const char ch = *pch++;
    if (ch == '"') break;
    if (ch != '\\') {
      Add(ch);
      continue;
    }
    if (pch >= pchEnd) continue;
    const char chEscaped = *pch++;
    Add(chEscaped == 'n' ? '\n' : (chEscaped == 'r' ? '\r' : chEscaped));
  }
  if (pch != pchEnd) Error_t("Unexpected text after the closing quote");
  str = ct == 0 ? CString() : CString(tr_pchScratch, (int)ct);
}

void CTextMetaReader::ReadBlockLine_t(const char *strName, const char *strError)
{
  MustNextLine_t();
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = AfterName(strName);
  if (pch != nullptr) pch = SkipBlanks(pch, pchEnd);
  if (pch == nullptr || pch + 1 != pchEnd || *pch != '{') Error_t(strFormat(strError, strName));
}

void CTextMetaReader::ReadEndLine_t(const char *strError)
{
  MustNextLine_t();
  if (tr_ctLine != 1 || tr_pchLine[0] != '}') Error_t(strError);
}

void CTextMetaReader::ReadBlockStart_t(const char *strName, const char *)
{
  ReadBlockLine_t(strName, "Expected start of block '%1'");
}

void CTextMetaReader::ReadBlockEnd_t(void)
{
  ReadEndLine_t("Expected end of block");
}

// Lists that files of the earlier text layout named otherwise.
static const char *EarlierListName(const char *strName)
{
  if (strcmp(strName, "InternalObjects") == 0) return "Objects";
  if (strcmp(strName, "InternalObjectTypes") == 0) return "ObjectTypes";
  return nullptr;
}

void CTextMetaReader::ReadListStart_t(const char *strName, const char *, long &ct)
{
  MustNextLine_t();
  const char *pchEnd = tr_pchLine + tr_ctLine;
  const char *pch = AfterName(strName);
  const char *strEarlier = strName != nullptr ? EarlierListName(strName) : nullptr;
  if (pch == nullptr && strEarlier != nullptr) pch = AfterName(strEarlier);
  if (pch == nullptr || pchEnd[-1] != '{' || pch > pchEnd - 1)
    Error_t(strFormat("Expected start of list '%1'", strName));
  pch = SkipBlanks(pch, pchEnd - 1);
  const char *pchCountEnd = pchEnd - 1;
  while (pchCountEnd > pch && IsBlank(pchCountEnd[-1])) pchCountEnd--;
  ct = -1;
  if (pch != pchCountEnd && !ParseInt(pch, pchCountEnd, ct))
    Error_t(strFormat("Invalid integer '%1'", CString(pch, (int)(pchCountEnd - pch))));
  if (ct < 0) Error_t(strFormat("Invalid count %1.", ct));
}

void CTextMetaReader::ReadListEnd_t(void)
{
  ReadEndLine_t("Expected end of list");
}

// ---- Recognition and installation ----

int mdPeekMetaFileForm(CStream &strm)
{
  long slLeft = strm.GetSize() - strm.GetPosition();
  if (slLeft < 4) return 0;
  char ach[3 + HEADER_PEEK];
  const long ct = slLeft < (long)sizeof(ach) ? slLeft : (long)sizeof(ach);
  strm.Peek_t(ach, ct);
  if (memcmp(ach, "VQTN", 4) == 0) return 1;
  const long iFrom = HasBOM(ach, ct) ? 3 : 0;
  if (ct - iFrom >= HEADER_PEEK && memcmp(ach + iFrom, HEADER_TEXT, HEADER_PEEK) == 0) return 2;
  return 0;
}

namespace {

CMetaWriter *NewTextWriter(CStream &strm)
{
  return new CTextMetaWriter(strm);
}

CMetaReader *NewTextReader(CStream &strm)
{
  return new CTextMetaReader(strm);
}

struct CTextFormInstaller {
  CTextFormInstaller() { mdSetTextFormFactories(&NewTextWriter, &NewTextReader); }
  ~CTextFormInstaller() { mdSetTextFormFactories(nullptr, nullptr); }
} _md_tfiInstaller;

} // namespace

} // namespace QuennelEngine
