#include "core/meta/LexerPrivate.h"

#include <string.h>

namespace QuennelEngine {

static inline bool IsEndRow(const char *strText)
{
  return strText == nullptr || strText[0] == 0;
}

LexerOperatorMatcher::LexerOperatorMatcher(const COperatorToken *potTable)
    : lom_ctColumns(1), lom_ctStates(1), lom_aiNext(nullptr), lom_aiRow(nullptr),
      lom_potTable(potTable)
{
  memset(lom_aubColumn, 0, sizeof(lom_aubColumn));
  // Columns for the characters in use, and the most states the trie can need.
  long ctMaxStates = 1;
  for (long iRow = 0; !IsEndRow(potTable[iRow].ot_strOperator); iRow++) {
    for (const char *pch = potTable[iRow].ot_strOperator; *pch != 0; pch++) {
      unsigned char &ubColumn = lom_aubColumn[(unsigned char)*pch];
      if (ubColumn == 0) ubColumn = (unsigned char)lom_ctColumns++;
      ctMaxStates++;
    }
  }
  lom_aiNext = new long[ctMaxStates * lom_ctColumns]();
  lom_aiRow = new long[ctMaxStates];
  for (long i = 0; i < ctMaxStates; i++) lom_aiRow[i] = -1;

  for (long iRow = 0; !IsEndRow(potTable[iRow].ot_strOperator); iRow++) {
    long iState = 0;
    for (const char *pch = potTable[iRow].ot_strOperator; *pch != 0; pch++) {
      long &iNext = lom_aiNext[iState * lom_ctColumns + lom_aubColumn[(unsigned char)*pch]];
      if (iNext == 0) iNext = lom_ctStates++;
      iState = iNext;
    }
    // A repeated operator keeps its first row.
    if (lom_aiRow[iState] < 0) lom_aiRow[iState] = iRow;
  }
}

LexerOperatorMatcher::~LexerOperatorMatcher()
{
  delete[] lom_aiNext;
  delete[] lom_aiRow;
}

LexerKeywordTable::LexerKeywordTable(const CKeywordToken *pktTable)
{
  long ctRows = 0;
  while (!IsEndRow(pktTable[ctRows].kt_strKeyword)) ctRows++;
  // At most half full, so misses (most identifiers) end on a free slot quickly.
  unsigned long ctSlots = 16;
  while (ctSlots < (unsigned long)ctRows * 2) ctSlots *= 2;
  kwt_aEntries = new Entry[ctSlots]();
  kwt_ulMask = ctSlots - 1;
  for (long iRow = 0; iRow < ctRows; iRow++) {
    const char *strKeyword = pktTable[iRow].kt_strKeyword;
    const long ctLength = (long)strlen(strKeyword);
    // A repeated keyword keeps its first row (in either mode).
    if (Find(strKeyword, ctLength, true) != nullptr) continue;
    const unsigned long ulHash = Hash(strKeyword, ctLength);
    unsigned long iSlot = ulHash & kwt_ulMask;
    while (kwt_aEntries[iSlot].kwe_pkt != nullptr) iSlot = (iSlot + 1) & kwt_ulMask;
    kwt_aEntries[iSlot] = Entry{&pktTable[iRow], ctLength, ulHash};
  }
}

LexerKeywordTable::~LexerKeywordTable()
{
  delete[] kwt_aEntries;
}

} // namespace QuennelEngine
