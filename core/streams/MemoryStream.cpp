#include "core/streams/MemoryStream.h"

#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/streams/Stream.h"

#include <limits.h>
#include <string.h>

namespace QuennelEngine {

static const long _slGranularity = 4096;

// Copies bytes; the common small values are moved inline instead of through the C runtime.
static inline void CopyBytes(void *pvTarget, const void *pvSource, long slSize)
{
  switch (slSize) {
  case 1:
    __builtin_memcpy(pvTarget, pvSource, 1);
    break;
  case 2:
    __builtin_memcpy(pvTarget, pvSource, 2);
    break;
  case 4:
    __builtin_memcpy(pvTarget, pvSource, 4);
    break;
  case 8:
    __builtin_memcpy(pvTarget, pvSource, 8);
    break;
  default:
    if (slSize <= 64 && (slSize & 3) == 0) {
      // (a few words, as a metadata object's members come: a call would cost more)
      for (long i = 0; i < slSize; i += 4)
        __builtin_memcpy((char *)pvTarget + i, (const char *)pvSource + i, 4);
    } else {
      memcpy(pvTarget, pvSource, slSize);
    }
    break;
  }
}

CMemoryStream::CMemoryStream()
    : ms_pubData(nullptr), ms_slPosition(0), ms_slCapacity(0), ms_slSize(0)
{
}

CMemoryStream::~CMemoryStream()
{
  memFree(ms_pubData);
}

CString CMemoryStream::GetDescription(void)
{
  return CString("<memory stream>");
}

void CMemoryStream::Throw_t(const char *strMessage)
{
  throw CFileException(strMessage, "<memory stream>");
}

void CMemoryStream::CopyOut_t(void *pvBuffer, long slSize, bool bAdvance)
{
  if (slSize < 0) Throw_t("Invalid size!");
  if (slSize == 0) return;
  long slLeft = ms_slSize - ms_slPosition;
  if (slLeft <= 0) Throw_t("EOF reached!");
  if (slSize > slLeft) {
    // Deliver what is there, then report the end.
    memcpy(pvBuffer, ms_pubData + ms_slPosition, slLeft);
    if (bAdvance) ms_slPosition = ms_slSize;
    Throw_t("EOF reached!");
  }
  CopyBytes(pvBuffer, ms_pubData + ms_slPosition, slSize);
  if (bAdvance) ms_slPosition += slSize;
}

void CMemoryStream::Peek_t(void *pvBuffer, long slSize)
{
  CopyOut_t(pvBuffer, slSize, false);
}

void CMemoryStream::Read_t(void *pvBuffer, long slSize)
{
  CopyOut_t(pvBuffer, slSize, true);
}

const void *CMemoryStream::GetReadWindow(long &slBytes)
{
  slBytes = ms_slSize - ms_slPosition;
  if (ms_pubData == nullptr || slBytes < 0) {
    slBytes = 0;
    return nullptr;
  }
  return ms_pubData + ms_slPosition;
}

void CMemoryStream::Write_t(const void *pvBuffer, long slSize)
{
  if (slSize < 0) Throw_t("Invalid size!");
  if (slSize == 0) return;
  if (slSize > ms_slCapacity - ms_slPosition) {
    if (slSize > LONG_MAX - ms_slSize - _slGranularity) Throw_t("Could not resize stream!");
    long slCapacity = (ms_slSize + slSize + _slGranularity - 1) / _slGranularity * _slGranularity;
    // Growing by half at least keeps many small writes linear.
    if (ms_slCapacity < LONG_MAX / 3 && slCapacity < ms_slCapacity + ms_slCapacity / 2) {
      slCapacity = ms_slCapacity + ms_slCapacity / 2;
    }
    if (ms_pubData == nullptr) {
      ms_pubData = (unsigned char *)memMAlloc(slCapacity);
      ms_slPosition = 0;
    } else {
      ms_pubData = (unsigned char *)memReAlloc(ms_pubData, slCapacity);
    }
    ms_slCapacity = slCapacity;
  }
  CopyBytes(ms_pubData + ms_slPosition, pvBuffer, slSize);
  ms_slPosition += slSize;
  if (ms_slPosition > ms_slSize) SetSize_t(ms_slPosition);
}

void CMemoryStream::Write_t(CStream &strmSource)
{
  CDataBlock db;
  strmSource.ReadWhole_t(db);
  Write_t(db.GetData(), db.GetSize());
}

void CMemoryStream::SeekBeg_t(long slOffset)
{
  if (slOffset < 0) Throw_t("Trying to seek before stream SOF!");
  if (slOffset > ms_slSize) Throw_t("Trying to seek beyond stream EOF!");
  ms_slPosition = slOffset;
}

void CMemoryStream::SeekEnd_t(long slOffset)
{
  if (slOffset < 0) Throw_t("Trying to seek beyond stream EOF!");
  if (slOffset > ms_slSize) Throw_t("Trying to seek before stream SOF!");
  ms_slPosition = ms_slSize - slOffset;
}

void CMemoryStream::SeekCur_t(long slOffset)
{
  // Compared against the room on each side, so no sum can wrap.
  if (slOffset < -ms_slPosition) Throw_t("Trying to seek before stream SOF!");
  if (slOffset > ms_slSize - ms_slPosition) Throw_t("Trying to seek beyond stream EOF!");
  ms_slPosition += slOffset;
}

void CMemoryStream::SetSize_t(long slSize)
{
  if (slSize < 0) Throw_t("Could not resize stream!");
  if (slSize > ms_slCapacity) {
    ms_pubData = (unsigned char *)memReAlloc(ms_pubData, slSize);
    ms_slCapacity = slSize;
  }
  ms_slSize = slSize;
  if (ms_slPosition > ms_slSize) ms_slPosition = ms_slSize;
}

void CMemoryStream::ReadAhead_t(long)
{
}

} // namespace QuennelEngine
