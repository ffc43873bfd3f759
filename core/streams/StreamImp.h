#pragma once
// CStreamImp: what a stream handle (CStream) forwards its raw operations to. Each kind of stream
// (dummy, memory, disk file, archive entry, signed stream) implements it.
//
// Conventions every implementation keeps: negative sizes and offsets that would place the
// position outside [0, size] throw; bounds are compared without overflow; SeekEnd_t(offset) moves
// to size - offset.
#include "core/text/String.h"

namespace QuennelEngine {

class CStream;

class CORE_API CStreamImp {
public:
  virtual ~CStreamImp();
  // Copies the next `slSize` bytes without moving the position.
  virtual void Peek_t(void *pvBuffer, long slSize) = 0;
  // Copies the next `slSize` bytes and advances.
  virtual void Read_t(void *pvBuffer, long slSize) = 0;
  // Writes the whole content of another stream (from its start; its position is kept).
  virtual void Write_t(CStream &strmSource) = 0;
  // Writes `slSize` bytes at the position and advances.
  virtual void Write_t(const void *pvBuffer, long slSize) = 0;
  virtual void SeekBeg_t(long slOffset) = 0;
  virtual void SeekEnd_t(long slOffset) = 0;
  virtual void SeekCur_t(long slOffset) = 0;
  virtual void SetSize_t(long slSize) = 0;
  // Completes a stream that needs a closing step; by default nothing.
  virtual void Finish_t(void);
  // A hint that `slSize` bytes will be read soon.
  virtual void ReadAhead_t(long slSize) = 0;
  virtual long GetSize(void) = 0;
  virtual long GetPosition(void) = 0;
  // Non-zero when no byte is left to read.
  virtual int IsAtEOF_t(void) = 0;
  // Names the stream in messages (a file name, or a fixed text).
  virtual CString GetDescription(void) = 0;
  // The bytes from the position to the end when the implementation holds them in memory, their
  // count in `slBytes`; valid until the next operation on the stream. Null (the default) when the
  // bytes must be read.
  virtual const void *GetReadWindow(long &slBytes);
};

} // namespace QuennelEngine
