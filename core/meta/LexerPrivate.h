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
  const CKeywordToken *Find(const char *pch, long ctLength, bool bCaseSensitive) const
  {
    return FindHashed(pch, ctLength, Hash(pch, ctLength), bCaseSensitive);
  }
  // The same with the text's Hash already taken (the lexer hashes while it scans).
  const CKeywordToken *FindHashed(const char *pch, long ctLength, unsigned long ulHash,
                                  bool bCaseSensitive) const
  {
    const CKeywordToken *pktFolded = nullptr;
    for (unsigned long iSlot = ulHash & kwt_ulMask;; iSlot = (iSlot + 1) & kwt_ulMask) {
      const Entry &e = kwt_aEntries[iSlot];
      if (e.kwe_pkt == nullptr) break;
      if (e.kwe_ulHash != ulHash || e.kwe_ctLength != ctLength) continue;
      // Keywords are short: compared here rather than through memcmp.
      const char *strKeyword = e.kwe_pkt->kt_strKeyword;
      long i = 0;
      while (i < ctLength && strKeyword[i] == pch[i]) i++;
      if (i == ctLength) return e.kwe_pkt;
      if (bCaseSensitive || pktFolded != nullptr) continue;
      // Equal under strCompare: the same length and the same characters folded to lower case.
      while (i < ctLength && FoldCase(strKeyword[i]) == FoldCase(pch[i])) i++;
      if (i == ctLength) pktFolded = e.kwe_pkt;
    }
    return pktFolded;
  }

  // FNV-1a over the characters folded to lower case, one step at a time.
  static unsigned long HashStart(void) { return 2166136261u; }
  static unsigned long HashStep(unsigned long ulHash, char c)
  {
    return (ulHash ^ FoldCase((unsigned char)c)) * 16777619u;
  }
  static unsigned long Hash(const char *pch, long ctLength)
  {
    unsigned long ulHash = HashStart();
    for (long i = 0; i < ctLength; i++) ulHash = HashStep(ulHash, pch[i]);
    return ulHash;
  }
  static unsigned char FoldCase(unsigned char c)
  {
    return (c >= 'A' && c <= 'Z') ? (unsigned char)(c + ('a' - 'A')) : c;
  }
};

} // namespace QuennelEngine
