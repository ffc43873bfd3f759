#include "core/streams/SignedStream.h"

#include "core/frame/Console.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/streams/Signature.h"
#include "core/streams/Stream.h"

#include <limits.h>
#include <string.h>

namespace QuennelEngine {

static const long _slHeaderSize = 12;
static const long _slMaxBlockSize = 65536;

CSignedStream::CSignedStream()
    : ss_ulFlags(0), ss_iBlock(-1), ss_slBlockLeft(0), ss_slBufferPosition(0), ss_slStreamSize(0),
      ss_slDesiredSize(-1), ss_slSignatureSize(0), ss_slBlockSize(0), ss_slSignatureType(0),
      ss_pstrm(nullptr), ss_slPayloadSize(0), ss_slPosition(0)
{
}

CSignedStream::~CSignedStream()
{
  if (ss_ulFlags & SSF_READING) {
    conErrorF("Signed stream '%1' wasn't finished. It is still opened for read.\n", ARG_TEXT,
              GetDescription().str_String);
  } else if (ss_ulFlags & SSF_WRITING) {
    conErrorF("Signed stream '%1' wasn't finished. It is still opened for write.\n", ARG_TEXT,
              GetDescription().str_String);
  }
  if (ss_ulFlags & SSF_OWNSSTREAM) delete ss_pstrm;
}

CString CSignedStream::GetDescription(void)
{
  return ss_pstrm != nullptr ? ss_pstrm->GetDescription() : CString("<signed stream>");
}

void CSignedStream::Throw_t(const char *strMessage)
{
  throw CFileException(strMessage, GetDescription());
}

// Raw transfers on the underlying stream: only the payload counts as delivered bytes.
static void ReadRaw_t(CStream &strm, void *pv, long slSize)
{
  if (slSize > 0) strm.GetImplementation()->Read_t(pv, slSize);
}

static void PutLong(unsigned char *pub, long sl)
{
  for (int i = 0; i < 4; i++) pub[i] = (unsigned char)((unsigned long)sl >> (8 * i));
}

static long GetLong(const unsigned char *pub)
{
  return (long)((unsigned long)pub[0] | (unsigned long)pub[1] << 8 | (unsigned long)pub[2] << 16 |
                (unsigned long)pub[3] << 24);
}

void CSignedStream::Open_t(CStream &strm, const char *strMode, long slType, bool bOwn)
{
  ss_pstrm = &strm;
  if (bOwn) ss_ulFlags |= SSF_OWNSSTREAM;
  CString strModeText(strMode ? strMode : "");
  if (strModeText == "w") {
    if (!sigIsKnownType(slType)) {
      sigGetSize((SignatureType)slType); // the warning
      Throw_t("Invalid signature type.");
    }
    ss_slSignatureSize = sigGetSize((SignatureType)slType);
    ss_slBlockSize = BLOCK_SIZE;
    ss_slSignatureType = slType;
    unsigned char aubHeader[_slHeaderSize];
    PutLong(aubHeader + 0, ss_slSignatureSize);
    PutLong(aubHeader + 4, ss_slBlockSize);
    PutLong(aubHeader + 8, ss_slSignatureType);
    CDataBlock dbSignature;
    sigCalculate((SignatureType)slType, aubHeader, _slHeaderSize, dbSignature);
    strm.Write_t(aubHeader, _slHeaderSize);
    strm.Write_t(dbSignature.GetData(), dbSignature.GetSize());
    ss_dbBlock.Allocate(ss_slBlockSize);
    ss_iBlock = 0;
    ss_slBufferPosition = 0;
    ss_ulFlags |= SSF_WRITING;
    return;
  }
  if (strModeText != "r") Throw_t("Invalid mode for a signed stream.");

  ss_iBlock = -1;
  ss_slBlockLeft = 0;
  ss_slStreamSize = strm.GetSize();
  unsigned char aubHeader[_slHeaderSize];
  ReadRaw_t(strm, aubHeader, _slHeaderSize);
  long slSignatureSize = GetLong(aubHeader + 0);
  long slBlockSize = GetLong(aubHeader + 4);
  long slStoredType = GetLong(aubHeader + 8);
  // Nothing is sized from the header before it is known to be sane.
  if (!sigIsKnownType(slStoredType) || slSignatureSize != 4 || slBlockSize < 1 ||
      slBlockSize > _slMaxBlockSize) {
    Throw_t("Invalid signed stream header.");
  }
  unsigned char aubStored[4];
  ReadRaw_t(strm, aubStored, slSignatureSize);
  CDataBlock dbSignature;
  sigCalculate((SignatureType)slStoredType, aubHeader, _slHeaderSize, dbSignature);
  if (memcmp(aubStored, dbSignature.GetData(), slSignatureSize) != 0) {
    Throw_t("Header signature verification failed.");
  }
  ss_slSignatureSize = slSignatureSize;
  ss_slBlockSize = slBlockSize;
  ss_slSignatureType = slStoredType;

  // The payload: whole blocks, then what the last one holds before its signature.
  long slBlocks = ss_slStreamSize - _slHeaderSize - ss_slSignatureSize;
  if (slBlocks < 0) slBlocks = 0;
  long slStride = ss_slBlockSize + ss_slSignatureSize;
  long slRest = slBlocks % slStride;
  if (slRest > 0 && slRest <= ss_slSignatureSize) Throw_t("Signed stream is truncated.");
  ss_slPayloadSize =
      slBlocks / slStride * ss_slBlockSize + (slRest > 0 ? slRest - ss_slSignatureSize : 0);
  ss_slPosition = 0;
  // No block holds more than the payload: a short stream with large blocks needs no more.
  long slBuffer = ss_slPayloadSize < ss_slBlockSize ? ss_slPayloadSize : ss_slBlockSize;
  ss_dbBlock.Allocate(slBuffer > 0 ? slBuffer : 1);
  ss_ulFlags |= SSF_READING;
}

void CSignedStream::LoadBlock_t(long iBlock)
{
  __int64 llOffset =
      _slHeaderSize + ss_slSignatureSize + (__int64)iBlock * (ss_slBlockSize + ss_slSignatureSize);
  __int64 llLength = (__int64)ss_slStreamSize - ss_slSignatureSize - llOffset;
  if (llLength > ss_slBlockSize) llLength = ss_slBlockSize;
  if (llLength < 1) Throw_t("Reading past end of file.");
  long slLength = (long)llLength;
  ss_pstrm->SeekBeg_t((long)llOffset);
  unsigned char *pubBlock = (unsigned char *)ss_dbBlock.GetData();
  ReadRaw_t(*ss_pstrm, pubBlock, slLength);
  unsigned char aubStored[4];
  ReadRaw_t(*ss_pstrm, aubStored, ss_slSignatureSize);
  CDataBlock dbSignature;
  sigCalculate((SignatureType)ss_slSignatureType, pubBlock, slLength, dbSignature);
  if (memcmp(aubStored, dbSignature.GetData(), ss_slSignatureSize) != 0) {
    Throw_t("Block signature verification failed.");
  }
  ss_iBlock = iBlock;
  ss_slBlockLeft = slLength;
  ss_slBufferPosition = 0;
}

void CSignedStream::Read_t(void *pvBuffer, long slSize)
{
  if (!(ss_ulFlags & SSF_READING)) Throw_t("Signed stream isn't opened for reading.");
  if (slSize < 0) Throw_t("Invalid size!");
  if (slSize > ss_slPayloadSize - ss_slPosition) {
    if (slSize > 0) memset(pvBuffer, 0, slSize);
    Throw_t("Reading past end of file.");
  }
  unsigned char *pub = (unsigned char *)pvBuffer;
  while (slSize > 0) {
    if (ss_slBlockLeft == 0) LoadBlock_t(ss_iBlock + 1);
    long slCopy = slSize < ss_slBlockLeft ? slSize : ss_slBlockLeft;
    memcpy(pub, (unsigned char *)ss_dbBlock.GetData() + ss_slBufferPosition, slCopy);
    pub += slCopy;
    slSize -= slCopy;
    ss_slBufferPosition += slCopy;
    ss_slBlockLeft -= slCopy;
    ss_slPosition += slCopy;
  }
}

void CSignedStream::Peek_t(void *pvBuffer, long slSize)
{
  long iBlock = ss_iBlock;
  long slLeft = ss_slBlockLeft;
  long slBufferPosition = ss_slBufferPosition;
  long slPosition = ss_slPosition;
  // Back to where the peek began; a block loaded meanwhile (or a failed load, which leaves its
  // bytes in the buffer) brings the earlier block back, verified again.
  auto Restore = [&](bool bReload) {
    if (bReload && iBlock >= 0) LoadBlock_t(iBlock);
    ss_iBlock = iBlock;
    ss_slBlockLeft = slLeft;
    ss_slBufferPosition = slBufferPosition;
    ss_slPosition = slPosition;
  };
  try {
    Read_t(pvBuffer, slSize);
  } catch (CException &) {
    Restore(true);
    throw;
  }
  Restore(ss_iBlock != iBlock);
}

void CSignedStream::WriteBlock_t(void)
{
  if (ss_slBufferPosition == 0) return;
  CDataBlock dbSignature;
  sigCalculate((SignatureType)ss_slSignatureType, ss_dbBlock.GetData(), ss_slBufferPosition,
               dbSignature);
  ss_pstrm->Write_t(ss_dbBlock.GetData(), ss_slBufferPosition);
  ss_pstrm->Write_t(dbSignature.GetData(), dbSignature.GetSize());
  ss_iBlock++;
  ss_slBufferPosition = 0;
}

void CSignedStream::Write_t(const void *pvBuffer, long slSize)
{
  if (!(ss_ulFlags & SSF_WRITING)) Throw_t("Signed stream isn't opened for writing.");
  if (slSize < 0) Throw_t("Invalid size!");
  if (slSize > LONG_MAX - ss_slPosition) Throw_t("Signed stream is too large.");
  const unsigned char *pub = (const unsigned char *)pvBuffer;
  while (slSize > 0) {
    long slRoom = ss_slBlockSize - ss_slBufferPosition;
    long slCopy = slSize < slRoom ? slSize : slRoom;
    memcpy((unsigned char *)ss_dbBlock.GetData() + ss_slBufferPosition, pub, slCopy);
    ss_slBufferPosition += slCopy;
    ss_slPosition += slCopy;
    ss_slPayloadSize = ss_slPosition;
    pub += slCopy;
    slSize -= slCopy;
    if (ss_slBufferPosition == ss_slBlockSize) WriteBlock_t();
  }
}

void CSignedStream::Write_t(CStream &strmSource)
{
  long slSize = strmSource.GetSize();
  if (slSize <= 0) return;
  long slSourcePosition = strmSource.GetPosition();
  unsigned char *pub = (unsigned char *)memMAlloc(slSize);
  try {
    strmSource.SeekBeg_t(0);
    strmSource.Read_t(pub, slSize);
    strmSource.SeekBeg_t(slSourcePosition);
    Write_t(pub, slSize);
  } catch (...) {
    memFree(pub);
    throw;
  }
  memFree(pub);
}

void CSignedStream::SeekBeg_t(long)
{
  Throw_t("Seeking in signed stream is illegal.");
}

void CSignedStream::SeekEnd_t(long)
{
  Throw_t("Seeking in signed stream is illegal.");
}

void CSignedStream::SeekCur_t(long)
{
  Throw_t("Seeking in signed stream is illegal.");
}

void CSignedStream::SetSize_t(long slSize)
{
  if (!(ss_ulFlags & SSF_WRITING)) Throw_t("Signed stream isn't opened for writing.");
  ss_slDesiredSize = slSize;
}

__int64 CSignedStream::StreamSizeFor(__int64 llPayload) const
{
  __int64 llFull = llPayload / ss_slBlockSize;
  __int64 llRest = llPayload % ss_slBlockSize;
  return _slHeaderSize + ss_slSignatureSize + llFull * (ss_slBlockSize + ss_slSignatureSize) +
         (llRest > 0 ? llRest + ss_slSignatureSize : 0);
}

void CSignedStream::FillToDesiredSize_t(void)
{
  __int64 llMissing =
      (__int64)ss_slDesiredSize -
      (_slHeaderSize + ss_slSignatureSize +
       (__int64)ss_iBlock * (ss_slBlockSize + ss_slSignatureSize) + ss_slBufferPosition);
  if (llMissing <= 0) {
    conErrorF("Signed stream is filled over desired size!\n");
    return;
  }
  conInfoF("Filling additional %1 bytes to %2 signed stream.\n", ARG_INT, (long)llMissing, ARG_TEXT,
           GetDescription().str_String);
  // The least payload whose stream reaches the desired size (a signature may overshoot it).
  __int64 llTarget = (__int64)ss_slDesiredSize - _slHeaderSize - ss_slSignatureSize;
  __int64 llStride = ss_slBlockSize + ss_slSignatureSize;
  __int64 llRest = llTarget % llStride;
  __int64 llPayload = llTarget / llStride * ss_slBlockSize;
  if (llRest > ss_slSignatureSize) {
    llPayload += llRest - ss_slSignatureSize;
  } else if (llRest > 0) {
    llPayload += 1;
  }
  static const unsigned char aubZeros[1024] = {};
  while (ss_slPosition < llPayload) {
    __int64 llLeft = llPayload - ss_slPosition;
    Write_t(aubZeros, llLeft < (__int64)sizeof(aubZeros) ? (long)llLeft : (long)sizeof(aubZeros));
  }
}

void CSignedStream::Finish_t(void)
{
  if (ss_ulFlags & SSF_WRITING) {
    if (ss_slDesiredSize >= 0) FillToDesiredSize_t();
    WriteBlock_t();
    ss_ulFlags &= ~SSF_WRITING;
  } else if (ss_ulFlags & SSF_READING) {
    // The blocks nobody read are verified too, so a damaged tail does not go unnoticed.
    while (ss_slPosition < ss_slPayloadSize) {
      if (ss_slBlockLeft == 0) LoadBlock_t(ss_iBlock + 1);
      ss_slPosition += ss_slBlockLeft;
      ss_slBufferPosition += ss_slBlockLeft;
      ss_slBlockLeft = 0;
    }
    ss_ulFlags &= ~SSF_READING;
  }
}

void CSignedStream::ReadAhead_t(long)
{
}

long CSignedStream::GetSize(void)
{
  return ss_slPayloadSize;
}

long CSignedStream::GetPosition(void)
{
  return ss_slPosition;
}

int CSignedStream::IsAtEOF_t(void)
{
  return ss_slPosition >= ss_slPayloadSize;
}

void CStream::CreateSignedStream(CStream &strm, const char *strMode, long slType)
{
  CSignedStream *pss = new CSignedStream;
  try {
    pss->Open_t(strm, strMode, slType, false);
  } catch (...) {
    delete pss;
    throw;
  }
  SetImplementation(pss);
}

int CStream::CreateSignedStream(const char *strFileName, const char *strMode, long slType)
{
  CStream *pstrm = new CStream;
  if (!pstrm->CreateFileStream(strFileName ? strFileName : "", strMode)) {
    delete pstrm;
    return 0;
  }
  CSignedStream *pss = new CSignedStream;
  try {
    pss->Open_t(*pstrm, strMode, slType, true);
  } catch (...) {
    delete pss; // deletes the file stream too
    throw;
  }
  SetImplementation(pss);
  return 1;
}

} // namespace QuennelEngine
