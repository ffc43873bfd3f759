#pragma once
// CToken: one token of CLexer, with the ids of the token kinds and the rows of the operator and
// keyword tables that a caller hands to the lexer.
#include "core/memory/List.h"
#include "core/text/String.h"

namespace QuennelEngine {

// Token ids. Ids below TID_FIRST_BUILTIN come from the caller's operator and keyword tables.
enum ETokenID {
  TID_INVALID = -1, // no operator matched: one character was taken
  TID_FIRST_BUILTIN = 1024,
  TID_CONST_INT = 1025, // binary, octal, hexadecimal or decimal
  TID_CONST_FLOAT = 1026,
  TID_CONST_CHAR = 1027,
  TID_CONST_STRING = 1028,
  TID_IDENTIFIER = 1029,
  TID_EOL = 1030,     // end of line, only in line mode
  TID_COMMENT = 1031, // comment text, only in line mode
  TID_EOF = 1032,     // end of input
};

// A row of an operator table: the operator's characters and its id (below 1024). A table is an
// array of rows ended by a row whose text is null or empty.
struct COperatorToken {
  const char *ot_strOperator;
  long ot_iTokenID;
};

// A row of a keyword table, shaped like the operator table.
struct CKeywordToken {
  const char *kt_strKeyword;
  long kt_iTokenID;
};

// Tokens of one lexer link into its history through tok_lnInHistory; the lexer owns them. Every
// member is public (the lexer finds a token from its node with offsetof).
class CORE_API CToken {
public:
  CToken();
  CToken(const CToken &) = delete;
  CToken &operator=(const CToken &) = delete;

  long tok_iID;                          // an ETokenID, or an id of the caller's tables
  CListNode tok_lnInHistory;             // in the lexer's history, look-ahead or spare list
  long tok_iLine;                        // line of the token's first character, from 1
  long tok_iStart;                       // offset of the first character in the prepared input
  long tok_iEnd;                         // offset just past the last character
  unsigned long tok_ulValue;             // integer and character constants
  double tok_dValue;                     // floating constants (integers also hold their value)
  const COperatorToken *tok_potOperator; // the table row of an operator, else null
  const CKeywordToken *tok_pktKeyword;   // the table row of a keyword, else null

  // The text: an identifier, keyword or operator as written, a constant's characters as written
  // (a string or character constant without quotes, escapes decoded), a comment with its
  // delimiters, a line feed for an end of line; at most 1023 characters.
  const CString &GetText(void) const { return tok_strText; }
  long GetID(void) const { return tok_iID; }
  bool IsOperator(void) const { return tok_potOperator != nullptr; }
  bool IsKeyword(void) const { return tok_pktKeyword != nullptr; }
  bool IsIdentifier(void) const { return tok_iID == TID_IDENTIFIER; }
  bool IsConst(void) const { return tok_iID >= TID_CONST_INT && tok_iID <= TID_CONST_STRING; }
  bool IsEOF(void) const { return tok_iID == TID_EOF; }

  // Replaces the text with `ctLength` characters of `pchText`, reusing the token's buffer when
  // it is large enough (tokens are refilled millions of times a second).
  void SetText(const char *pchText, long ctLength);
  // Sets every field but the list node to the empty token.
  void Clear(void);

  // Change it through SetText (an assignment works too, it only loses the reuse of the buffer).
  CString tok_strText;
  // The buffer tok_strText held when it was last sized by SetText, and its room in characters.
  const char *tok_pchRoom;
  long tok_ctRoom;
};

} // namespace QuennelEngine
