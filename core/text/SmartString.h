#pragma once
// CSmartString: a scratch builder for text that grows piece by piece. The buffer grows in steps
// (16 bytes unless changed); trimming on the left only advances the start of the text.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CORE_API CSmartString {
public:
  CSmartString();
  CSmartString(const CSmartString &ss);
  ~CSmartString();

  // Empties the text and replaces the buffer by one of `ctBytes` bytes (at least 1, for the
  // terminator).
  void Preallocate(int ctBytes);
  // Bytes added to the buffer per growth step (at least 1).
  void SetGrowthStep(int ctBytes);

  void InsertHead(const char *strText);
  // Inserts `strText` before the character at `iPosition` (clamped to the text).
  void InsertSubStr(const char *strText, int iPosition);
  // Sets the text to `ctCount` characters of `strText` from `iPosition` (clamped to it).
  void SetAsSubstr(const char *strText, int iPosition, int ctCount);
  // Sets the text to the first `ctCount` characters of `strText`.
  void SetAsHead(const char *strText, int ctCount);
  // Removes the character at `iPosition`, shifting the rest left.
  void RemoveChar(int iPosition);
  void TrimSpacesLeft(void);
  void TrimSpacesRight(void);

  CSmartString &operator=(const char *strText);
  CSmartString &operator=(const CSmartString &ss);
  CSmartString &operator+=(const char *strText);
  // Case-insensitive equality with a text.
  bool operator==(const char *strText) const;
  bool operator!=(const char *strText) const;

  operator const char *() const { return ss_pchText; }
  const char *ConstData(void) const { return ss_pchText; }
  int Length(void) const { return ss_ctLength; }
  int Capacity(void) const { return ss_ctCapacity; }
  int GrowthStep(void) const { return ss_ctGrowthStep; }

private:
  // Makes room for `ctAdded` more characters (and the terminator) after the text.
  void Reserve(int ctAdded);
  // Replaces characters [iPosition, iPosition + ctRemoved) by `ctInserted` of `pchInsert`.
  void Splice(int iPosition, int ctRemoved, const char *pchInsert, int ctInserted);

  char *ss_pchText;    // where the current text starts, inside the buffer
  char *ss_pchBuffer;  // the owned allocation, null until something is stored
  int ss_ctLength;     // characters in the current text
  int ss_ctCapacity;   // bytes in the buffer
  int ss_ctGrowthStep; // bytes added per growth step
};

} // namespace QuennelEngine
