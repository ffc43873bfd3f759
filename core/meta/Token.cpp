#include "core/meta/Token.h"

#include <string.h>

namespace QuennelEngine {

CToken::CToken() : tok_pchRoom(nullptr), tok_ctRoom(0)
{
  Clear();
}

void CToken::Clear(void)
{
  tok_iID = TID_INVALID;
  tok_iLine = 0;
  tok_iStart = 0;
  tok_iEnd = 0;
  tok_ulValue = 0;
  tok_dValue = 0;
  tok_potOperator = nullptr;
  tok_pktKeyword = nullptr;
  SetText("", 0);
}

void CToken::SetText(const char *pchText, long ctLength)
{
  // The room is only trusted while the string still holds the buffer it was measured on.
  if (tok_strText.str_String != tok_pchRoom) tok_ctRoom = 0;
  if (ctLength > tok_ctRoom) {
    long ctRoom = ctLength < 31 ? 31 : ctLength;
    tok_strText = CString((int)ctRoom);
    tok_pchRoom = tok_strText.str_String;
    tok_ctRoom = ctRoom;
  }
  if (tok_ctRoom == 0) {
    // Nothing was ever allocated: keep (or go back to) the shared empty text, never written.
    if (!tok_strText.IsEmpty()) tok_strText.Clear();
    return;
  }
  memcpy(tok_strText.str_String, pchText, ctLength);
  tok_strText.str_String[ctLength] = 0;
}

} // namespace QuennelEngine
