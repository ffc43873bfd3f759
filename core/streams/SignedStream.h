#pragma once
// CSignedStream: a payload in blocks of B bytes, each followed by its signature, behind a
// 12-byte header (signature size, block size, signature type) that carries a signature too:
//
//   0            4 bytes   signature size S
//   4            4 bytes   block size B (writers use 8192)
//   8            4 bytes   signature type
//   12           S bytes   signature of the 12 header bytes
//   12 + S + n(B + S)      block n: up to B payload bytes (only the last is shorter), then S bytes
//
// Reading verifies each block before any of its bytes is delivered; the stream is written and
// read strictly in order. Size, position and end are the payload's.
#include "core/streams/DataBlock.h"
#include "core/streams/StreamImp.h"

namespace QuennelEngine {

class CORE_API CSignedStream : public CStreamImp {
public:
  enum Flags {
    SSF_OWNSSTREAM = 1,
    SSF_READING = 2,
    SSF_WRITING = 4,
  };
  // The block size writers use.
  static const long BLOCK_SIZE = 8192;

  CSignedStream();
  // Reports a stream that was not finished; deletes an owned underlying stream.
  ~CSignedStream() override;

  // Opens over `strm` for reading ("r": the header is read and verified) or writing ("w": the
  // header is written with the signature type `slType`). With `bOwn` the stream is deleted with
  // this one. Throws CFileException when the header is bad or the type unknown.
  void Open_t(CStream &strm, const char *strMode, long slType, bool bOwn);

  void Peek_t(void *pvBuffer, long slSize) override;
  // Delivers payload bytes, loading and verifying blocks as needed; throws "Reading past end of
  // file." (before any transfer) when fewer bytes are left, "Block signature verification
  // failed." for a damaged block.
  void Read_t(void *pvBuffer, long slSize) override;
  // Writes the whole content of another stream (from its start; its position is kept).
  void Write_t(CStream &strmSource) override;
  void Write_t(const void *pvBuffer, long slSize) override;
  // Seeking is refused: "Seeking in signed stream is illegal."
  void SeekBeg_t(long slOffset) override;
  void SeekEnd_t(long slOffset) override;
  void SeekCur_t(long slOffset) override;
  // Writing only: the size the underlying file is to reach at Finish_t (filled with zero payload).
  void SetSize_t(long slSize) override;
  // Writing: fills to the desired size and writes the last block. Reading: verifies the blocks
  // that were not read. Either way the stream is closed for further use.
  void Finish_t(void) override;
  void ReadAhead_t(long slSize) override;
  long GetSize(void) override;
  long GetPosition(void) override;
  int IsAtEOF_t(void) override;
  CString GetDescription(void) override;

private:
  [[noreturn]] void Throw_t(const char *strMessage);
  void LoadBlock_t(long iBlock);
  void WriteBlock_t(void);
  void FillToDesiredSize_t(void);
  // The underlying size of a stream holding `slPayload` payload bytes.
  __int64 StreamSizeFor(__int64 llPayload) const;

  unsigned long ss_ulFlags;
  long ss_iBlock;
  long ss_slBlockLeft;
  long ss_slBufferPosition;
  long ss_slStreamSize;
  long ss_slDesiredSize;
  long ss_slSignatureSize;
  long ss_slBlockSize;
  long ss_slSignatureType;
  CDataBlock ss_dbBlock;
  CStream *ss_pstrm;
  long ss_slPayloadSize; // reading: all payload bytes; writing: bytes written so far
  long ss_slPosition;    // payload bytes delivered or written
};

} // namespace QuennelEngine
