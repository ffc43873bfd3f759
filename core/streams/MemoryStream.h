#pragma once
// CMemoryStream: a stream over a growable heap buffer (capacity in steps of 4096 bytes).
#include "core/streams/StreamImp.h"

namespace QuennelEngine {

class CORE_API CMemoryStream : public CStreamImp {
public:
  CMemoryStream();
  ~CMemoryStream() override;
  void Peek_t(void *pvBuffer, long slSize) override;
  void Read_t(void *pvBuffer, long slSize) override;
  void Write_t(CStream &strmSource) override;
  void Write_t(const void *pvBuffer, long slSize) override;
  void SeekBeg_t(long slOffset) override;
  void SeekEnd_t(long slOffset) override;
  void SeekCur_t(long slOffset) override;
  // Sets the size; a position beyond the new size moves to it.
  void SetSize_t(long slSize) override;
  void ReadAhead_t(long slSize) override;
  long GetSize(void) override { return ms_slSize; }
  long GetPosition(void) override { return ms_slPosition; }
  int IsAtEOF_t(void) override { return ms_slSize - ms_slPosition <= 0; }
  CString GetDescription(void) override;
  const void *GetReadWindow(long &slBytes) override;

  long GetCapacity(void) const { return ms_slCapacity; }
  // The bytes of the stream (null before the first write).
  const void *GetData(void) const { return ms_pubData; }

private:
  [[noreturn]] void Throw_t(const char *strMessage);
  // Copies up to `slSize` bytes from the position; throws at the end as Read_t does.
  void CopyOut_t(void *pvBuffer, long slSize, bool bAdvance);

  unsigned char *ms_pubData;
  long ms_slPosition;
  long ms_slCapacity;
  long ms_slSize;
};

} // namespace QuennelEngine
