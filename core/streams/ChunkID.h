#pragma once
// CChunkID: the four raw bytes that open a block of the binary formats ("META", ...), kept with a
// zero byte after them so the identifier reads as a text. On a stream it is exactly its 4 bytes.
#include "core/platform/Platform.h"

#include <string.h>

namespace QuennelEngine {

class CORE_API CChunkID {
public:
  char cid_ID[5];

  // Four blanks.
  CChunkID() { memcpy(cid_ID, "    ", 5); }
  // The first four characters of `strID` (which must have at least four) and the byte after them.
  CChunkID(const char *strID) { memcpy(cid_ID, strID, 5); }

  // The four characters compare as one 32-bit word; the fifth byte plays no part.
  bool operator==(const CChunkID &cid) const { return memcmp(cid_ID, cid.cid_ID, 4) == 0; }
  bool operator!=(const CChunkID &cid) const { return !(*this == cid); }
  operator const char *() const { return cid_ID; }
};

} // namespace QuennelEngine
