#pragma once
// CLexer: a tokenizer for C-like source text. The caller supplies the operators and keywords
// (tables of CToken.h); the lexer knows numbers, character and string constants, identifiers and
// comments. Syntax errors are printed as "file(line) : error : text" and tokenizing goes on; only
// reading without input throws.
//
// Positions are offsets into the prepared input (the stream's bytes without carriage returns and
// without a UTF-8 byte order mark). A marker is such an offset: GetMarker() is the offset just
// past the last token returned, and Rollback(marker) makes the lexer read again from there.
//
// In history mode every token read stays alive (and its pointer valid) until Commit, a rollback
// to before it, a new input or the lexer's end; Rollback then hands the kept tokens out again
// instead of scanning anew. Without history one token is refilled by every read.
#include "core/meta/Token.h"

namespace QuennelEngine {

class CStream;
struct ErrorTable;
struct LexerOperatorMatcher;
struct LexerKeywordTable;

enum ELexerMode {
  LM_NO_HISTORY = 0,       // one token, refilled by every read
  LM_HISTORY = 1,          // tokens are kept for Rollback
  LM_CASE_SENSITIVE = 2,   // keywords compare exactly (the default)
  LM_CASE_INSENSITIVE = 3, // keywords compare with strCompare
  LM_LINE_MODE_OFF = 4,    // line feeds and comments are skipped (the default)
  LM_LINE_MODE_ON = 5,     // line feeds and comments become tokens
};

class CORE_API CLexer {
public:
  // The longest token text kept; longer ones are cut and reported.
  static constexpr long MAX_TOKEN_LENGTH = 1023;

  CLexer();
  CLexer(const CLexer &) = delete;
  CLexer &operator=(const CLexer &) = delete;
  ~CLexer();

  // Back to the constructed state: no input, no tables, no history, case-sensitive, line mode
  // and trace off.
  void Init(void);

  // Reads the whole stream, from its start, as the input (the file name becomes the stream's
  // description) and starts at its first line. Throws what the stream throws.
  void PrepareInput_t(CStream &strm);

  // The next token; TID_EOF at the end of the input (again on every later call). Throws when no
  // input was prepared.
  CToken *GetNextToken_t(void);
  // The token returned last (the first one when none was read yet). Throws without input.
  CToken *GetCurrentToken_t(void);

  // The tables stay the caller's and must outlive their use. Null removes a table. The error
  // tables name the ids in the trace.
  void SetOperatorTable(const COperatorToken *potTable, const ErrorTable *pet);
  void SetKeywordTable(const CKeywordToken *pktTable, const ErrorTable *pet);

  // One of the ELexerMode switches; GetLexerMode tells the history mode (LM_NO_HISTORY or
  // LM_HISTORY). Switching drops tokens read ahead after a rollback (they are scanned again).
  void SetLexerMode(ELexerMode lm);
  ELexerMode GetLexerMode(void) const;
  bool IsCaseSensitive(void) const { return lx_bCaseSensitive; }
  bool IsLineMode(void) const { return lx_bLineMode; }

  long GetMarker(void) const { return lx_iPos; }
  // Reads again from `iMarker` (clamped to the input), with the line counted anew.
  void Rollback(long iMarker);
  // Forgets the history but the current token.
  void Commit(void);
  // The input between two markers (clamped; empty when `iTo` is before `iFrom`).
  CString GetStringBetweenMarkers(long iFrom, long iTo) const;
  // The line and column (both from 1) of a marker, clamped to the input.
  void GetPosForMarker(long iMarker, long &iLine, long &iColumn) const;
  // Line and column of the read position.
  long GetCurrentLine(void) const { return lx_iLine; }
  long GetCurrentColumn(void) const;
  const CString &GetFileName(void) const { return lx_strFileName; }
  // Syntax errors printed since the input was prepared.
  long GetErrorCount(void) const { return lx_ctErrors; }

  // With trace on, every token scanned is printed through the trace output with its line.
  void EnableTrace(void) { lx_bTrace = true; }
  void DisableTrace(void) { lx_bTrace = false; }
  bool IsTraceEnabled(void) const { return lx_bTrace; }

private:
  void FreeInput(void);
  void FreeTokens(void);
  CToken *NewToken(void);
  void SpareToken(CToken *ptok);
  void DropLookAhead(void);
  long LineOf(long iOffset) const;
  // Scans the token at the read position into `tok`.
  void Scan(CToken &tok);
  void ScanNumber(CToken &tok);
  void ScanFloat(CToken &tok, const char *pchStart, const char *pch);
  void ScanChar(CToken &tok);
  void ScanString(CToken &tok);
  bool ScanComment(CToken &tok);
  void ScanIdentifier(CToken &tok);
  void ScanOperator(CToken &tok);
  // Decodes one escape after its backslash (at `pch`); moves `pch` past it.
  char ScanEscape(const char *&pch);
  // The token's text from the token buffer, cut and reported when it overflowed.
  void FinishText(CToken &tok, long ctLength);
  void Error(const char *strMessage);
  void Trace(const CToken &tok, const char *strKind);
  void TraceComment(bool bSingleLine);

  char *lx_pchInput;     // the input, followed by a space and a terminator
  long lx_ctInput;       // characters before the space
  long lx_iPos;          // read position
  long lx_iLine;         // line of the read position
  long lx_iTokenLine;    // line where the token being scanned began
  long *lx_aiLineStarts; // offset of every line's first character
  long lx_ctLines;
  char lx_achToken[MAX_TOKEN_LENGTH + 1];
  bool lx_bTokenCut; // the token being scanned did not fit its buffer

  CToken lx_tokSingle;      // the token without history
  CToken *lx_ptokCurrent;   // null until the first read after preparing or rolling back
  CListHead lx_lhHistory;   // tokens returned, oldest first (history mode)
  CListHead lx_lhLookAhead; // tokens after the read position, kept by a rollback
  CListHead lx_lhSpare;     // tokens to reuse
  long lx_iHistoryStart;    // the history holds every token from this offset on

  const COperatorToken *lx_potOperators;
  const ErrorTable *lx_petOperators;
  LexerOperatorMatcher *lx_pom;
  const CKeywordToken *lx_pktKeywords;
  const ErrorTable *lx_petKeywords;
  LexerKeywordTable *lx_pkwt;

  bool lx_bHistory;
  bool lx_bCaseSensitive;
  bool lx_bLineMode;
  bool lx_bTrace;
  long lx_ctErrors;
  CString lx_strFileName;
};

} // namespace QuennelEngine
