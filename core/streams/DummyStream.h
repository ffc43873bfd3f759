#pragma once
// CDummyStream: what a closed stream handle holds. Every data operation throws; size and position
// are 0 and it is always at its end.
#include "core/streams/StreamImp.h"

namespace QuennelEngine {

class CORE_API CDummyStream : public CStreamImp {
public:
  CDummyStream();
  void Peek_t(void *pvBuffer, long slSize) override;
  void Read_t(void *pvBuffer, long slSize) override;
  void Write_t(CStream &strmSource) override;
  void Write_t(const void *pvBuffer, long slSize) override;
  void SeekBeg_t(long slOffset) override;
  void SeekEnd_t(long slOffset) override;
  void SeekCur_t(long slOffset) override;
  void SetSize_t(long slSize) override;
  void ReadAhead_t(long slSize) override;
  long GetSize(void) override;
  long GetPosition(void) override;
  int IsAtEOF_t(void) override;
  CString GetDescription(void) override;

private:
  CString ds_strDescription;
};

} // namespace QuennelEngine
