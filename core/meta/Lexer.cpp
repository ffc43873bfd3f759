// The lexer scans a prepared buffer: the input without carriage returns, followed by a space and a
// terminator. The space lets every scanner look one character past the last one; the terminator
// stops every loop. Loops that may run to the end of the input (strings, character constants,
// comments) compare with the end of the input proper, so no token takes in the appended space and
// nothing is read past the terminator.
//
// Tokens are scanned straight into a CToken. Identifiers, numbers and operators take their text
// from the input; strings and characters decode into the 1024-byte token buffer. Texts longer
// than 1023 characters are cut and reported once per token; the token still ends where its
// characters end, so scanning goes on after it.
//
// History: every token returned in history mode is linked at the tail of lx_lhHistory. Rollback
// moves the tokens from the marker on to the head of lx_lhLookAhead, which GetNextToken_t hands
// out before scanning again. That is only right when the history holds every token from the
// marker on and no kept token straddles it; otherwise the moved tokens are dropped and the input
// is scanned again from the marker. Spare tokens keep their text buffers for reuse.
#include "core/meta/Lexer.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Console.h"
#include "core/frame/ErrorTable.h"
#include "core/frame/Exception.h"
#include "core/meta/LexerPrivate.h"
#include "core/streams/Stream.h"
#include "core/text/Translation.h"

#include <stddef.h>
#include <string.h>

namespace QuennelEngine {

// The scanner of the common tokens is inlined into GetNextToken_t: a call and return per token
// and per text copy cost more than the scanning itself.
#define LX_INLINE inline __attribute__((always_inline))

namespace {

// What the first character of a token decides.
enum CharClass : unsigned char {
  CC_OTHER = 0, // an operator, or an invalid character
  CC_NUL,
  CC_SPACE,
  CC_LINEFEED,
  CC_DIGIT,
  CC_DOT,
  CC_SLASH,
  CC_SINGLE_QUOTE,
  CC_DOUBLE_QUOTE,
  CC_IDENTIFIER,
};

// Built at compile time, so lexers that run in static initialisers find them ready.
struct CharTables {
  unsigned char ct_aubClass[256] = {};
  bool ct_abIdentifier[256] = {};    // letters, digits and "_"
  signed char ct_asbDigit[256] = {}; // value as a digit of base 16, else -1

  constexpr CharTables()
  {
    for (int c = 0; c < 256; c++) {
      const bool bLetter = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
      const bool bDigit = c >= '0' && c <= '9';
      ct_aubClass[c] = bLetter ? CC_IDENTIFIER : bDigit ? CC_DIGIT : CC_OTHER;
      ct_abIdentifier[c] = bLetter || bDigit;
      ct_asbDigit[c] = bDigit                   ? (signed char)(c - '0')
                       : (c >= 'a' && c <= 'f') ? (signed char)(c - 'a' + 10)
                       : (c >= 'A' && c <= 'F') ? (signed char)(c - 'A' + 10)
                                                : (signed char)-1;
    }
    ct_aubClass[0] = CC_NUL;
    ct_aubClass[(unsigned char)' '] = CC_SPACE;
    ct_aubClass[(unsigned char)'\t'] = CC_SPACE;
    ct_aubClass[(unsigned char)'\n'] = CC_LINEFEED;
    ct_aubClass[(unsigned char)'.'] = CC_DOT;
    ct_aubClass[(unsigned char)'/'] = CC_SLASH;
    ct_aubClass[(unsigned char)'\''] = CC_SINGLE_QUOTE;
    ct_aubClass[(unsigned char)'"'] = CC_DOUBLE_QUOTE;
  }
};

constexpr CharTables _ct;

inline bool IsIdentChar(char c)
{
  return _ct.ct_abIdentifier[(unsigned char)c];
}

inline bool IsDigit(char c)
{
  return c >= '0' && c <= '9';
}

inline CToken *TokenOfNode(CListNode *pln)
{
  return (CToken *)((char *)pln - offsetof(CToken, tok_lnInHistory));
}

// Exact powers of ten as doubles (10^22 is the last one a double holds exactly).
const double _adPowersOfTen[23] = {1e0,  1e1,  1e2,  1e3,  1e4,  1e5,  1e6,  1e7,
                                   1e8,  1e9,  1e10, 1e11, 1e12, 1e13, 1e14, 1e15,
                                   1e16, 1e17, 1e18, 1e19, 1e20, 1e21, 1e22};

double PowerOfTen(long iExponent)
{
  if (iExponent <= 22) return _adPowersOfTen[iExponent];
  double dResult = 1, dBase = 10;
  for (long i = iExponent; i > 0; i >>= 1) {
    if (i & 1) dResult *= dBase;
    dBase *= dBase;
  }
  return dResult;
}

// The value of significant digits `ullMantissa` times ten to `iExponent`. Exact (correctly
// rounded) whenever the mantissa and the power of ten are both exact doubles, which covers the
// constants of source code; close otherwise.
double ComposeFloat(unsigned long long ullMantissa, long iExponent)
{
  double d = (double)ullMantissa;
  if (ullMantissa == 0) return 0;
  if (iExponent < -400) return 0;
  if (iExponent > 400) return d * 1e300 * 1e300;
  if (iExponent >= 0) return d * PowerOfTen(iExponent);
  if (iExponent >= -22) return d / PowerOfTen(-iExponent);
  // Two steps keep the divisor finite for the smallest values.
  return d / PowerOfTen(-iExponent - 22) / 1e22;
}

// CToken::SetText without the call in the usual case, a text that fits the room the token's
// string already has; copied by hand, as most texts are a few characters long.
inline void PutText(CToken &tok, const char *pchText, long ctLength)
{
  char *pchRoom = tok.tok_strText.str_String;
  if (pchRoom != tok.tok_pchRoom || ctLength > tok.tok_ctRoom) {
    tok.SetText(pchText, ctLength);
    return;
  }
  for (long i = 0; i < ctLength; i++) pchRoom[i] = pchText[i];
  pchRoom[ctLength] = 0;
}

// The list operations of every token read with history, done here rather than through calls
// into the list code; they keep the layout CListHead describes (the head as two sentinel nodes).
inline void LinkLast(CListHead &lh, CListNode &ln)
{
  CListNode *plnLast = lh.tailpred;
  ln.succ = lh.TailNode();
  ln.pred = plnLast;
  plnLast->succ = &ln;
  lh.tailpred = &ln;
}

// The first node of a list that is not empty, unlinked.
inline CListNode *UnlinkFirst(CListHead &lh)
{
  CListNode *pln = lh.head;
  lh.head = pln->succ;
  pln->succ->pred = lh.HeadNode();
  pln->succ = nullptr;
  pln->pred = nullptr;
  return pln;
}

// Moves the nodes of `lhFrom` before `lnKept` (one of its nodes) to the head of `lhTo`, in order.
inline void SpliceBefore(CListHead &lhFrom, CListNode &lnKept, CListHead &lhTo)
{
  if (lnKept.pred == lhFrom.HeadNode()) return;
  CListNode *plnFirst = lhFrom.head;
  CListNode *plnLast = lnKept.pred;
  lhFrom.head = &lnKept;
  lnKept.pred = lhFrom.HeadNode();
  plnLast->succ = lhTo.head;
  lhTo.head->pred = plnLast;
  plnFirst->pred = lhTo.HeadNode();
  lhTo.head = plnFirst;
}

void CopyToken(CToken &tokTo, const CToken &tokFrom)
{
  tokTo.tok_iID = tokFrom.tok_iID;
  tokTo.tok_iLine = tokFrom.tok_iLine;
  tokTo.tok_iStart = tokFrom.tok_iStart;
  tokTo.tok_iEnd = tokFrom.tok_iEnd;
  tokTo.tok_ulValue = tokFrom.tok_ulValue;
  tokTo.tok_dValue = tokFrom.tok_dValue;
  tokTo.tok_potOperator = tokFrom.tok_potOperator;
  tokTo.tok_pktKeyword = tokFrom.tok_pktKeyword;
  tokTo.SetText(tokFrom.tok_strText, tokFrom.tok_strText.Length());
}

} // namespace

CLexer::CLexer()
    : lx_pchInput(nullptr), lx_ctInput(0), lx_iPos(0), lx_iLine(1), lx_iTokenLine(1),
      lx_aiLineStarts(nullptr), lx_ctLines(0), lx_bTokenCut(false), lx_ptokCurrent(nullptr),
      lx_iHistoryStart(0), lx_potOperators(nullptr), lx_petOperators(nullptr), lx_pom(nullptr),
      lx_pktKeywords(nullptr), lx_petKeywords(nullptr), lx_pkwt(nullptr), lx_bHistory(false),
      lx_bCaseSensitive(true), lx_bLineMode(false), lx_bTrace(false), lx_ctErrors(0)
{
  lx_achToken[0] = 0;
}

CLexer::~CLexer()
{
  Init();
  while (!lx_lhSpare.IsEmpty()) delete TokenOfNode(lx_lhSpare.RemHead());
}

void CLexer::Init(void)
{
  FreeInput();
  SetOperatorTable(nullptr, nullptr);
  SetKeywordTable(nullptr, nullptr);
  lx_bHistory = false;
  lx_bCaseSensitive = true;
  lx_bLineMode = false;
  lx_bTrace = false;
  lx_ctErrors = 0;
  lx_strFileName.Clear();
}

void CLexer::FreeTokens(void)
{
  while (!lx_lhHistory.IsEmpty()) SpareToken(TokenOfNode(lx_lhHistory.GetFirst()));
  DropLookAhead();
  lx_ptokCurrent = nullptr;
  lx_tokSingle.Clear();
}

void CLexer::FreeInput(void)
{
  FreeTokens();
  delete[] lx_pchInput;
  delete[] lx_aiLineStarts;
  lx_pchInput = nullptr;
  lx_aiLineStarts = nullptr;
  lx_ctInput = 0;
  lx_ctLines = 0;
  lx_iPos = 0;
  lx_iLine = 1;
  lx_iHistoryStart = 0;
}

LX_INLINE CToken *CLexer::NewToken(void)
{
  if (lx_lhSpare.IsEmpty()) return new CToken;
  return TokenOfNode(UnlinkFirst(lx_lhSpare));
}

void CLexer::SpareToken(CToken *ptok)
{
  if (ptok->tok_lnInHistory.IsLinked()) ptok->tok_lnInHistory.Remove();
  lx_lhSpare.AddHead(ptok->tok_lnInHistory);
}

void CLexer::DropLookAhead(void)
{
  while (!lx_lhLookAhead.IsEmpty()) SpareToken(TokenOfNode(lx_lhLookAhead.GetFirst()));
}

void CLexer::PrepareInput_t(CStream &strm)
{
  FreeInput();
  lx_ctErrors = 0;
  lx_strFileName = strm.GetDescription();
  long slSize = strm.GetSize();
  if (slSize < 0) slSize = 0;
  char *pch = new char[slSize + 2];
  try {
    strm.SeekBeg_t(0);
    if (slSize > 0) strm.Read_t(pch, slSize);
  } catch (...) {
    delete[] pch;
    throw;
  }
  // An editor's UTF-8 byte order mark is not part of the source.
  long iFrom = 0;
  if (slSize >= 3 && (unsigned char)pch[0] == 0xEF && (unsigned char)pch[1] == 0xBB &&
      (unsigned char)pch[2] == 0xBF) {
    iFrom = 3;
  }
  long ct = 0, ctLineFeeds = 0;
  for (long i = iFrom; i < slSize; i++) {
    const char c = pch[i];
    if (c == '\r') continue;
    if (c == '\n') ctLineFeeds++;
    pch[ct++] = c;
  }
  pch[ct] = ' ';
  pch[ct + 1] = 0;
  lx_pchInput = pch;
  lx_ctInput = ct;

  lx_ctLines = ctLineFeeds + 1;
  lx_aiLineStarts = new long[lx_ctLines];
  lx_aiLineStarts[0] = 0;
  long iLine = 1;
  for (long i = 0; i < ct; i++) {
    if (pch[i] == '\n') lx_aiLineStarts[iLine++] = i + 1;
  }
  lx_iPos = 0;
  lx_iLine = 1;
  lx_iHistoryStart = 0;
}

long CLexer::LineOf(long iOffset) const
{
  // The last line that starts at or before the offset.
  long iLow = 0, iHigh = lx_ctLines;
  while (iHigh - iLow > 1) {
    const long iMiddle = (iLow + iHigh) / 2;
    if (lx_aiLineStarts[iMiddle] <= iOffset) {
      iLow = iMiddle;
    } else {
      iHigh = iMiddle;
    }
  }
  return iLow + 1;
}

CToken *CLexer::GetNextToken_t(void)
{
  if (lx_pchInput == nullptr) {
    ThrowFormat_t(strTranslate("DOZULexer.ErrorGetNextToken=Cannot read tokens past the end of "
                               "file. File: %1\n"),
                  lx_strFileName);
  }
  CToken *ptok;
  if (!lx_bHistory) {
    ptok = &lx_tokSingle;
  } else if (!lx_lhLookAhead.IsEmpty()) {
    ptok = TokenOfNode(lx_lhLookAhead.RemHead());
    lx_iPos = ptok->tok_iEnd;
    lx_iLine = LineOf(lx_iPos);
    LinkLast(lx_lhHistory, ptok->tok_lnInHistory);
    lx_ptokCurrent = ptok;
    return ptok;
  } else if (lx_ptokCurrent != nullptr && lx_ptokCurrent->tok_iID == TID_EOF &&
             lx_iPos >= lx_ctInput) {
    return lx_ptokCurrent; // the end stays one token
  } else {
    ptok = NewToken();
  }
  // One call site, so the scanner is inlined once.
  Scan(*ptok);
  if (lx_bHistory) LinkLast(lx_lhHistory, ptok->tok_lnInHistory);
  lx_ptokCurrent = ptok;
  return ptok;
}

CToken *CLexer::GetCurrentToken_t(void)
{
  if (lx_pchInput == nullptr) {
    ThrowFormat_t(strTranslate("DOZULexer.ErrorGetCurrentChar=Cannot read tokens past the end "
                               "of file. File: %1\n"),
                  lx_strFileName);
  }
  if (lx_ptokCurrent == nullptr) return GetNextToken_t();
  return lx_ptokCurrent;
}

void CLexer::SetOperatorTable(const COperatorToken *potTable, const ErrorTable *pet)
{
  DropLookAhead();
  delete lx_pom;
  lx_pom = nullptr;
  lx_potOperators = potTable;
  lx_petOperators = pet;
  if (potTable != nullptr) lx_pom = new LexerOperatorMatcher(potTable);
}

void CLexer::SetKeywordTable(const CKeywordToken *pktTable, const ErrorTable *pet)
{
  DropLookAhead();
  delete lx_pkwt;
  lx_pkwt = nullptr;
  lx_pktKeywords = pktTable;
  lx_petKeywords = pet;
  if (pktTable != nullptr) lx_pkwt = new LexerKeywordTable(pktTable);
}

void CLexer::SetLexerMode(ELexerMode lm)
{
  switch (lm) {
  case LM_NO_HISTORY:
    if (!lx_bHistory) return;
    // The current token lives on as the single token; the kept ones go.
    if (lx_ptokCurrent != nullptr) {
      CopyToken(lx_tokSingle, *lx_ptokCurrent);
      lx_ptokCurrent = &lx_tokSingle;
    }
    while (!lx_lhHistory.IsEmpty()) SpareToken(TokenOfNode(lx_lhHistory.GetFirst()));
    DropLookAhead();
    lx_bHistory = false;
    return;
  case LM_HISTORY:
    if (lx_bHistory) return;
    lx_bHistory = true;
    lx_iHistoryStart = lx_iPos;
    if (lx_ptokCurrent != nullptr) {
      CToken *ptok = NewToken();
      CopyToken(*ptok, *lx_ptokCurrent);
      lx_lhHistory.AddTail(ptok->tok_lnInHistory);
      lx_ptokCurrent = ptok;
      lx_iHistoryStart = ptok->tok_iStart;
    }
    return;
  case LM_CASE_SENSITIVE:
  case LM_CASE_INSENSITIVE:
    DropLookAhead();
    lx_bCaseSensitive = lm == LM_CASE_SENSITIVE;
    return;
  case LM_LINE_MODE_OFF:
  case LM_LINE_MODE_ON:
    DropLookAhead();
    lx_bLineMode = lm == LM_LINE_MODE_ON;
    return;
  }
  corLogGuardBreach();
}

ELexerMode CLexer::GetLexerMode(void) const
{
  return lx_bHistory ? LM_HISTORY : LM_NO_HISTORY;
}

void CLexer::Rollback(long iMarker)
{
  if (iMarker < 0) iMarker = 0;
  if (iMarker > lx_ctInput) iMarker = lx_ctInput;
  if (lx_bHistory) {
    bool bKeep = iMarker >= lx_iHistoryStart && iMarker <= lx_iPos;
    while (!lx_lhHistory.IsEmpty()) {
      CToken *ptok = TokenOfNode(lx_lhHistory.GetLast());
      if (ptok->tok_iStart < iMarker) {
        if (ptok->tok_iEnd > iMarker) bKeep = false;
        break;
      }
      ptok->tok_lnInHistory.Remove();
      lx_lhLookAhead.AddHead(ptok->tok_lnInHistory);
    }
    if (!bKeep) DropLookAhead();
    lx_ptokCurrent = lx_lhHistory.IsEmpty() ? nullptr : TokenOfNode(lx_lhHistory.GetLast());
  } else {
    lx_ptokCurrent = nullptr;
  }
  lx_iPos = iMarker;
  lx_iLine = lx_pchInput != nullptr ? LineOf(iMarker) : 1;
}

void CLexer::Commit(void)
{
  CListNode *plnKept = lx_ptokCurrent != nullptr ? &lx_ptokCurrent->tok_lnInHistory : nullptr;
  if (plnKept != nullptr && lx_lhHistory.GetLast() == plnKept) {
    // The usual case, the current token last in the history: the tokens before it go to the
    // spare list in one splice, however many there are.
    SpliceBefore(lx_lhHistory, *plnKept, lx_lhSpare);
  } else {
    while (!lx_lhHistory.IsEmpty()) {
      CToken *ptok = TokenOfNode(lx_lhHistory.GetFirst());
      if (ptok == lx_ptokCurrent) break;
      SpareToken(ptok);
    }
  }
  lx_iHistoryStart =
      lx_ptokCurrent != nullptr && lx_bHistory ? lx_ptokCurrent->tok_iStart : lx_iPos;
}

CString CLexer::GetStringBetweenMarkers(long iFrom, long iTo) const
{
  if (iFrom < 0) iFrom = 0;
  if (iTo > lx_ctInput) iTo = lx_ctInput;
  if (lx_pchInput == nullptr || iTo <= iFrom) return CString();
  return CString(lx_pchInput + iFrom, (int)(iTo - iFrom));
}

void CLexer::GetPosForMarker(long iMarker, long &iLine, long &iColumn) const
{
  if (lx_pchInput == nullptr) {
    iLine = 1;
    iColumn = 1;
    return;
  }
  if (iMarker < 0) iMarker = 0;
  if (iMarker > lx_ctInput) iMarker = lx_ctInput;
  iLine = LineOf(iMarker);
  iColumn = iMarker - lx_aiLineStarts[iLine - 1] + 1;
}

long CLexer::GetCurrentColumn(void) const
{
  if (lx_pchInput == nullptr) return 1;
  return lx_iPos - lx_aiLineStarts[lx_iLine - 1] + 1;
}

void CLexer::Error(const char *strMessage)
{
  lx_ctErrors++;
  conError(strTranslate("DOZULexer.Error=%1(%2) : error : %3\n"), lx_strFileName, lx_iTokenLine,
           strMessage);
}

void CLexer::FinishText(CToken &tok, long ctLength)
{
  if (ctLength > MAX_TOKEN_LENGTH) {
    ctLength = MAX_TOKEN_LENGTH;
    lx_bTokenCut = true;
  }
  if (lx_bTokenCut) {
    Error(strFormat(strTranslate("DOZULexer.TokenTooLong=a token longer than %1 characters was "
                                 "cut to that length."),
                    MAX_TOKEN_LENGTH));
  }
  PutText(tok, lx_achToken, ctLength);
}

// --- Scanning ------------------------------------------------------------------------------------

LX_INLINE void CLexer::Scan(CToken &tok)
{
  const char *pch = lx_pchInput + lx_iPos;
  for (;;) {
    // Blanks, and line feeds outside line mode, in one tight loop: most of the input between
    // tokens is indentation.
    for (;; pch++) {
      const char c = *pch;
      if (c == ' ' || c == '\t') continue;
      if (c != '\n' || lx_bLineMode) break;
      lx_iLine++;
    }
    lx_iPos = (long)(pch - lx_pchInput);
    tok.tok_iStart = lx_iPos;
    tok.tok_iLine = lx_iLine;
    tok.tok_ulValue = 0;
    tok.tok_dValue = 0;
    tok.tok_potOperator = nullptr;
    tok.tok_pktKeyword = nullptr;
    lx_iTokenLine = lx_iLine;
    lx_bTokenCut = false;
    // Identifiers and operators, the common kinds, without the switch's indirect jump.
    const unsigned char ubClass = _ct.ct_aubClass[(unsigned char)*pch];
    if (ubClass == CC_IDENTIFIER) {
      ScanIdentifier(tok);
      return;
    }
    if (ubClass != CC_OTHER) {
      switch (ubClass) {
      case CC_LINEFEED: // only in line mode
        lx_iPos++;
        lx_iLine++;
        tok.tok_iID = TID_EOL;
        tok.tok_iEnd = lx_iPos;
        PutText(tok, "\n", 1);
        if (lx_bTrace) Trace(tok, nullptr);
        return;
      case CC_NUL:
        if (lx_iPos < lx_ctInput) break; // a zero byte inside the input
        lx_iPos = lx_ctInput;
        tok.tok_iID = TID_EOF;
        tok.tok_iStart = lx_ctInput;
        tok.tok_iEnd = lx_ctInput;
        tok.tok_iLine = lx_iLine;
        PutText(tok, "", 0);
        if (lx_bTrace) Trace(tok, nullptr);
        return;
      case CC_DIGIT:
        ScanNumber(tok);
        return;
      case CC_DOT:
        if (!IsDigit(pch[1])) break;
        ScanNumber(tok);
        return;
      case CC_SLASH:
        if (pch[1] != '/' && pch[1] != '*') break;
        if (ScanComment(tok)) return;
        pch = lx_pchInput + lx_iPos;
        continue;
      case CC_SINGLE_QUOTE:
        ScanChar(tok);
        return;
      case CC_DOUBLE_QUOTE:
        ScanString(tok);
        return;
      }
    }
    // Operators, and characters no operator holds.
    ScanOperator(tok);
    return;
  }
}

LX_INLINE void CLexer::ScanIdentifier(CToken &tok)
{
  const char *pchStart = lx_pchInput + lx_iPos;
  // The keyword hash is taken on the way, so a miss costs one probe of the table.
  unsigned long ulHash = LexerKeywordTable::HashStart();
  const char *pch = pchStart;
  for (char c = *pch; IsIdentChar(c); c = *++pch) ulHash = LexerKeywordTable::HashStep(ulHash, c);
  long ctLength = (long)(pch - pchStart);
  lx_iPos += ctLength;
  tok.tok_iEnd = lx_iPos;
  if (ctLength > MAX_TOKEN_LENGTH) {
    ctLength = MAX_TOKEN_LENGTH;
    lx_bTokenCut = true;
    Error(strFormat(strTranslate("DOZULexer.TokenTooLong=a token longer than %1 characters was "
                                 "cut to that length."),
                    MAX_TOKEN_LENGTH));
    ulHash = LexerKeywordTable::Hash(pchStart, ctLength);
  }
  PutText(tok, pchStart, ctLength);
  const CKeywordToken *pkt =
      lx_pkwt != nullptr ? lx_pkwt->FindHashed(pchStart, ctLength, ulHash, lx_bCaseSensitive)
                         : nullptr;
  if (pkt != nullptr) {
    tok.tok_iID = pkt->kt_iTokenID;
    tok.tok_pktKeyword = pkt;
  } else {
    tok.tok_iID = TID_IDENTIFIER;
  }
  if (lx_bTrace) Trace(tok, nullptr);
}

LX_INLINE void CLexer::ScanOperator(CToken &tok)
{
  const char *pch = lx_pchInput + lx_iPos;
  const COperatorToken *pot = nullptr;
  long ctLength = lx_pom != nullptr ? lx_pom->Match(pch, pot) : 0;
  if (ctLength > 0) {
    tok.tok_iID = pot->ot_iTokenID;
    tok.tok_potOperator = pot;
  } else {
    tok.tok_iID = TID_INVALID;
    ctLength = 1;
  }
  lx_iPos += ctLength;
  tok.tok_iEnd = lx_iPos;
  PutText(tok, pch, ctLength);
  if (lx_bTrace) Trace(tok, nullptr);
}

void CLexer::ScanNumber(CToken &tok)
{
  const char *pchStart = lx_pchInput + lx_iPos;
  const char *pch = pchStart;
  if (*pch != '.') {
    // A run of decimal digits followed by "." or an exponent is a floating constant (also with
    // leading zeros: 017.5).
    const char *pchDigits = pch;
    while (IsDigit(*pchDigits)) pchDigits++;
    if (*pchDigits == '.' || *pchDigits == 'e' || *pchDigits == 'E') {
      const bool bHexOrBinary =
          pch[0] == '0' && (pch[1] == 'x' || pch[1] == 'X' || pch[1] == 'b' || pch[1] == 'B');
      if (!bHexOrBinary) {
        ScanFloat(tok, pchStart, pch);
        return;
      }
    }
  } else {
    ScanFloat(tok, pchStart, pch);
    return;
  }

  unsigned long ulBase = 10;
  const char *strKind = "dec";
  const char *strError = "DOZULexer.NonDecimal=a non-decimal digit in a decimal number.";
  if (pch[0] == '0') {
    const char c = pch[1];
    if (c == 'x' || c == 'X') {
      ulBase = 16;
      strKind = "hex";
      strError = "DOZULexer.NonHex=a non-hexadecimal digit in a hexadecimal number.";
      pch += 2;
    } else if (c == 'b' || c == 'B') {
      ulBase = 2;
      strKind = "bin";
      strError = "DOZULexer.NonBinary=a non-binary digit in a binary number.";
      pch += 2;
    } else if (c >= '0' && c <= '7') {
      ulBase = 8;
      strKind = "oct";
      strError = "DOZULexer.NonOctal=a non Oct digit in an Oct number.";
      pch += 1;
    }
    // "8" or "9" after the zero is a decimal number, anything else ends the zero.
  }
  const char *pchDigits = pch;
  unsigned long ulValue = 0;
  for (;;) {
    const long iDigit = _ct.ct_asbDigit[(unsigned char)*pch];
    if (iDigit < 0 || (unsigned long)iDigit >= ulBase) break;
    ulValue = ulValue * ulBase + (unsigned long)iDigit;
    pch++;
  }
  bool bError = pch == pchDigits && ulBase != 10 && ulBase != 8;
  if (*pch == 'u' || *pch == 'U') pch++;
  if (*pch == 'l' || *pch == 'L') pch++;
  if (IsIdentChar(*pch)) {
    bError = true;
    while (IsIdentChar(*pch)) pch++;
  }
  const long ctLength = (long)(pch - pchStart);
  lx_iPos += ctLength;
  tok.tok_iID = TID_CONST_INT;
  tok.tok_iEnd = lx_iPos;
  tok.tok_ulValue = ulValue;
  tok.tok_dValue = (double)ulValue;
  if (bError) Error(strTranslate(strError));
  if (ctLength > MAX_TOKEN_LENGTH) {
    Error(strFormat(strTranslate("DOZULexer.TokenTooLong=a token longer than %1 characters was "
                                 "cut to that length."),
                    MAX_TOKEN_LENGTH));
  }
  PutText(tok, pchStart, ctLength > MAX_TOKEN_LENGTH ? MAX_TOKEN_LENGTH : ctLength);
  if (lx_bTrace) Trace(tok, strKind);
}

void CLexer::ScanFloat(CToken &tok, const char *pchStart, const char *pch)
{
  // Up to 19 significant digits fit the mantissa; further ones only move the exponent.
  unsigned long long ullMantissa = 0;
  long ctSignificant = 0, iExponent = 0;
  for (; IsDigit(*pch); pch++) {
    if (ullMantissa == 0 && *pch == '0') continue;
    if (ctSignificant < 19) {
      ullMantissa = ullMantissa * 10 + (unsigned long long)(*pch - '0');
      ctSignificant++;
    } else {
      iExponent++;
    }
  }
  if (*pch == '.') {
    for (pch++; IsDigit(*pch); pch++) {
      if (ullMantissa == 0 && *pch == '0') {
        iExponent--;
        continue;
      }
      if (ctSignificant < 19) {
        ullMantissa = ullMantissa * 10 + (unsigned long long)(*pch - '0');
        ctSignificant++;
        iExponent--;
      }
    }
  }
  const char *strError = nullptr;
  if (*pch == 'e' || *pch == 'E') {
    pch++;
    bool bNegative = false;
    if (*pch == '+' || *pch == '-') bNegative = *pch++ == '-';
    if (!IsDigit(*pch))
      strError = "DOZULexer.FloatExponent=floating point exponent must be integral";
    long iWritten = 0;
    for (; IsDigit(*pch); pch++) {
      if (iWritten < 100000) iWritten = iWritten * 10 + (*pch - '0');
    }
    iExponent += bNegative ? -iWritten : iWritten;
    if (*pch == '.') {
      strError = "DOZULexer.FloatExponent=floating point exponent must be integral";
      for (pch++; IsDigit(*pch); pch++) {
      }
    }
  }
  if (*pch == 'f' || *pch == 'F' || *pch == 'l' || *pch == 'L') pch++;
  if (IsIdentChar(*pch)) {
    if (strError == nullptr) {
      strError = "DOZULexer.FloatIllegal=illegal character in a floating point number.";
    }
    while (IsIdentChar(*pch)) pch++;
  }
  const long ctLength = (long)(pch - pchStart);
  lx_iPos += ctLength;
  tok.tok_iID = TID_CONST_FLOAT;
  tok.tok_iEnd = lx_iPos;
  tok.tok_dValue = ComposeFloat(ullMantissa, iExponent);
  if (strError != nullptr) Error(strTranslate(strError));
  if (ctLength > MAX_TOKEN_LENGTH) {
    Error(strFormat(strTranslate("DOZULexer.TokenTooLong=a token longer than %1 characters was "
                                 "cut to that length."),
                    MAX_TOKEN_LENGTH));
  }
  PutText(tok, pchStart, ctLength > MAX_TOKEN_LENGTH ? MAX_TOKEN_LENGTH : ctLength);
  if (lx_bTrace) Trace(tok, nullptr);
}

char CLexer::ScanEscape(const char *&pch)
{
  const char c = *pch;
  switch (c) {
  case '"':
  case '\'':
  case '?':
  case '\\':
    pch++;
    return c;
  case '0':
    pch++;
    return 0;
  case 'a':
    pch++;
    return 7;
  case 'b':
    pch++;
    return 8;
  case 'f':
    pch++;
    return 12;
  case 'n':
    pch++;
    return 10;
  case 'r':
    pch++;
    return 13;
  case 't':
    pch++;
    return 9;
  case 'v':
    pch++;
    return 11;
  }
  pch++;
  Error(strFormat(strTranslate("DOZULexer.UnknownEscape=Unknown escape sequence \\%1."), c));
  return c;
}

void CLexer::ScanChar(CToken &tok)
{
  const char *pchEnd = lx_pchInput + lx_ctInput;
  const char *pch = lx_pchInput + lx_iPos + 1;
  char c = 0;
  bool bTerminated = false;
  // One character or one escape, then the closing quote. A line feed or the end of the input
  // is never taken in.
  if (pch < pchEnd && *pch != '\n' && *pch != '\'') {
    if (*pch == '\\') {
      pch++;
      if (pch < pchEnd && *pch != '\n') c = ScanEscape(pch);
    } else {
      c = *pch++;
    }
    if (pch < pchEnd && *pch == '\'') {
      pch++;
      bTerminated = true;
    }
  }
  if (!bTerminated) {
    Error(strTranslate("DOZULexer.UnterminatedChar=unterminated character constant."));
    // Skip to a closing quote on the same line, so 'ab' gives one token and one error.
    const char *pchQuote = pch;
    while (pchQuote < pchEnd && *pchQuote != '\n' && *pchQuote != '\'') pchQuote++;
    if (pchQuote < pchEnd && *pchQuote == '\'') pch = pchQuote + 1;
  }
  lx_iPos = (long)(pch - lx_pchInput);
  tok.tok_iID = TID_CONST_CHAR;
  tok.tok_iEnd = lx_iPos;
  tok.tok_ulValue = (unsigned char)c;
  tok.tok_dValue = (double)(unsigned char)c;
  PutText(tok, &c, 1);
  if (lx_bTrace) Trace(tok, nullptr);
}

void CLexer::ScanString(CToken &tok)
{
  const char *pchEnd = lx_pchInput + lx_ctInput;
  const char *pch = lx_pchInput + lx_iPos + 1;
  long ct = 0;
  for (;;) {
    if (pch >= pchEnd || *pch == '\n') {
      Error(strTranslate("DOZULexer.UnterminatedString=EOF encountered while parsing a string "
                         "constant."));
      break;
    }
    char c = *pch;
    if (c == '"') {
      pch++;
      // Constants separated only by blanks (and line feeds, unless they are tokens) join.
      const char *pchNext = pch;
      long ctLineFeeds = 0;
      while (pchNext < pchEnd &&
             (*pchNext == ' ' || *pchNext == '\t' || (*pchNext == '\n' && !lx_bLineMode))) {
        if (*pchNext == '\n') ctLineFeeds++;
        pchNext++;
      }
      if (pchNext >= pchEnd || *pchNext != '"') break;
      pch = pchNext + 1;
      lx_iLine += ctLineFeeds;
      continue;
    }
    if (c == '\\') {
      pch++;
      // A backslash at the end of the line leaves the line feed to end the string.
      if (pch >= pchEnd || *pch == '\n') continue;
      c = ScanEscape(pch);
    } else {
      pch++;
    }
    if (ct < MAX_TOKEN_LENGTH) {
      lx_achToken[ct++] = c;
    } else {
      lx_bTokenCut = true;
    }
  }
  lx_iPos = (long)(pch - lx_pchInput);
  tok.tok_iID = TID_CONST_STRING;
  tok.tok_iEnd = lx_iPos;
  FinishText(tok, ct);
  if (lx_bTrace) Trace(tok, nullptr);
}

bool CLexer::ScanComment(CToken &tok)
{
  const char *pchEnd = lx_pchInput + lx_ctInput;
  const char *pchStart = lx_pchInput + lx_iPos;
  const char *pch = pchStart + 2;
  const bool bSingleLine = pchStart[1] == '/';
  if (bSingleLine) {
    while (pch < pchEnd && *pch != '\n') pch++;
  } else {
    long ctLineFeeds = 0;
    for (;;) {
      if (pch >= pchEnd) {
        Error(strTranslate("DOZULexer.UnterminatedComment=EOF encountered while parsing a "
                           "comment."));
        break;
      }
      if (pch[0] == '*' && pch[1] == '/') {
        pch += 2;
        break;
      }
      if (*pch == '\n') ctLineFeeds++;
      pch++;
    }
    lx_iLine += ctLineFeeds;
  }
  if (pch > pchEnd) pch = pchEnd; // "*/" never ends in the appended space, but be exact
  lx_iPos = (long)(pch - lx_pchInput);
  if (lx_bTrace) TraceComment(bSingleLine);
  if (!lx_bLineMode) return false;
  long ctLength = (long)(pch - pchStart);
  if (ctLength > MAX_TOKEN_LENGTH) {
    ctLength = MAX_TOKEN_LENGTH;
    Error(strFormat(strTranslate("DOZULexer.TokenTooLong=a token longer than %1 characters was "
                                 "cut to that length."),
                    MAX_TOKEN_LENGTH));
  }
  tok.tok_iID = TID_COMMENT;
  tok.tok_iEnd = lx_iPos;
  PutText(tok, pchStart, ctLength);
  return true;
}

// --- Trace ---------------------------------------------------------------------------------------

void CLexer::TraceComment(bool bSingleLine)
{
  conTrace(bSingleLine ? "%1: COMMENT: single line\n" : "%1: COMMENT: multi line\n", lx_iTokenLine);
}

void CLexer::Trace(const CToken &tok, const char *strKind)
{
  const long iLine = tok.tok_iLine;
  switch (tok.tok_iID) {
  case TID_CONST_INT:
    conTrace("%1: TID_CONST_INT(%2) %3\n", iLine, strKind, tok.tok_ulValue);
    return;
  case TID_CONST_FLOAT:
    conTrace("%1: TID_CONST_FLOAT %2\n", iLine, tok.tok_dValue);
    return;
  case TID_CONST_CHAR:
    conTrace("%1: TID_CONST_CHAR %2\n", iLine, tok.tok_ulValue);
    return;
  case TID_CONST_STRING:
    conTrace("%1: TID_CONST_STRING \"%2\"\n", iLine, tok.tok_strText);
    return;
  case TID_IDENTIFIER:
    conTrace("%1: TID_IDENTIFIER %2\n", iLine, tok.tok_strText);
    return;
  case TID_EOL:
    conTrace("%1: TID_EOL\n", iLine);
    return;
  case TID_EOF:
    conTrace("%1: TID_EOF\n", iLine);
    return;
  case TID_INVALID:
    conTrace("%1: TID_INVALID '%2'\n", iLine, tok.tok_strText);
    return;
  }
  if (tok.IsKeyword()) {
    conTrace("%1: KEYWORD %2 %3\n", iLine, ErrorName(lx_petKeywords, tok.tok_iID), tok.tok_strText);
  } else {
    conTrace("%1: OPERATOR %2 %3\n", iLine, ErrorName(lx_petOperators, tok.tok_iID),
             tok.tok_strText);
  }
}

} // namespace QuennelEngine
