#pragma once
// The compiled tables of CLexer: the operator matcher and the keyword hash table.
#include "core/meta/Token.h"

namespace QuennelEngine {

// A trie over the operator table, walked one character at a time. Only characters that occur in
// some operator have a column, so a state is a short row of next states.
struct LexerOperatorMatcher {
  unsigned char lom_aubColumn[256]; // column of a character, 0 when no operator holds it
  long lom_ctColumns;               // columns per state, column 0 included
  long lom_ctStates;                // state 0 is the root
  long *lom_aiNext;                 // [state * lom_ctColumns + column]: next state, 0 for none
  long *lom_aiRow;                  // per state: the table row it completes, or -1
  const COperatorToken *lom_potTable;

  explicit LexerOperatorMatcher(const COperatorToken *potTable);
  ~LexerOperatorMatcher();
  LexerOperatorMatcher(const LexerOperatorMatcher &) = delete;
  LexerOperatorMatcher &operator=(const LexerOperatorMatcher &) = delete;

  // The longest operator at `pch` (which ends with a terminator): its length, and its row in
  // `ppot`; 0 and null when none matches.
  long Match(const char *pch, const COperatorToken *&ppot) const
  {
    long iState = 0, ctBest = 0;
    ppot = nullptr;
    for (long i = 0;; i++) {
      const long iColumn = lom_aubColumn[(unsigned char)pch[i]];
      if (iColumn == 0) break;
      iState = lom_aiNext[iState * lom_ctColumns + iColumn];
      if (iState == 0) break;
      if (lom_aiRow[iState] >= 0) {
        ctBest = i + 1;
        ppot = &lom_potTable[lom_aiRow[iState]];
      }
    }
    return ctBest;
  }
};

// Open addressing over the keyword rows, hashed on the text folded to lower case so that one
// table serves both the case-sensitive and the case-insensitive mode.
struct LexerKeywordTable {
  struct Entry {
    const CKeywordToken *kwe_pkt; // null for a free slot
    long kwe_ctLength;
    unsigned long kwe_ulHash;
  };
  Entry *kwt_aEntries;
  unsigned long kwt_ulMask; // slot count - 1 (a power of two)

  explicit LexerKeywordTable(const CKeywordToken *pktTable);
  ~LexerKeywordTable();
  LexerKeywordTable(const LexerKeywordTable &) = delete;
  LexerKeywordTable &operator=(const LexerKeywordTable &) = delete;

  // The row of the keyword spelled by `ctLength` characters at `pch`, or null.
  const CKeywordToken *Find(const char *pch, long ctLength, bool bCaseSensitive) const;
  static unsigned long Hash(const char *pch, long ctLength);
};

} // namespace QuennelEngine
