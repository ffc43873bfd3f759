#include "core/streams/DummyStream.h"

#include "core/frame/Exception.h"
#include "core/text/Translation.h"

namespace QuennelEngine {

CStreamImp::~CStreamImp()
{
}

void CStreamImp::Finish_t(void)
{
}

const void *CStreamImp::GetReadWindow(long &slBytes)
{
  slBytes = 0;
  return nullptr;
}

CDummyStream::CDummyStream() : ds_strDescription("<dummy stream>")
{
}

void CDummyStream::Peek_t(void *, long)
{
  ThrowF_t(strTranslate("DOZUStream.DummyPeek=Cannot peek into dummy stream!"));
}

void CDummyStream::Read_t(void *, long)
{
  ThrowF_t(strTranslate("DOZUStream.DummyRead=Cannot read from dummy stream!"));
}

void CDummyStream::Write_t(CStream &)
{
  ThrowF_t(strTranslate("DOZUStream.DummyWrite=Cannot write to dummy stream!"));
}

void CDummyStream::Write_t(const void *, long)
{
  ThrowF_t(strTranslate("DOZUStream.DummyWrite=Cannot write to dummy stream!"));
}

void CDummyStream::SeekBeg_t(long)
{
  ThrowF_t(strTranslate("DOZUStream.DummySeek=Cannot seek in dummy stream!"));
}

void CDummyStream::SeekEnd_t(long)
{
  ThrowF_t(strTranslate("DOZUStream.DummySeek=Cannot seek in dummy stream!"));
}

void CDummyStream::SeekCur_t(long)
{
  ThrowF_t(strTranslate("DOZUStream.DummySeek=Cannot seek in dummy stream!"));
}

void CDummyStream::SetSize_t(long)
{
  ThrowF_t(strTranslate("DOZUStream.DummySetSize=Cannot set size to dummy stream!"));
}

void CDummyStream::ReadAhead_t(long)
{
}

long CDummyStream::GetSize(void)
{
  return 0;
}

long CDummyStream::GetPosition(void)
{
  return 0;
}

int CDummyStream::IsAtEOF_t(void)
{
  return 1;
}

CString CDummyStream::GetDescription(void)
{
  return ds_strDescription;
}

} // namespace QuennelEngine
