#pragma once
// CStream: the handle every byte of the system passes through. It owns one exchangeable
// implementation (dummy when closed, memory, disk file, archive entry, signed stream) and one
// text codec. Opening something new replaces the implementation; the codec is kept until one of
// the Set... calls or ReadTextHeader_t changes it. A stream is used by one thread at a time.
//
// Binary values go onto streams little-endian, as they lie in memory; a string is a 32-bit length
// and its characters; a chunk identifier is exactly its four bytes.
#include "core/streams/ChunkID.h"
#include "core/streams/DataBlock.h"
#include "core/streams/StreamImp.h"
#include "core/text/FormatArgs.h"
#include "core/text/WString.h"

#include <stdarg.h>
#include <type_traits>

namespace QuennelEngine {

class CTextCodec;

// Bytes delivered to readers and bytes read from disk since the start (statistics only).
CORE_API extern long strm_ctEffectiveBytes;
CORE_API extern long strm_ctDiskBytes;

class CORE_API CStream {
public:
  CStream();
  ~CStream();
  CStream(const CStream &) = delete;
  CStream &operator=(const CStream &) = delete;

  // Back to the state after construction: a dummy implementation and the 8-bit codec.
  void Close(void);
  // An empty memory stream in place of the current implementation.
  void CreateMemoryStream(void);
  // A memory stream holding a copy of the bytes, positioned at 0.
  void CreateMemoryStream_t(const void *pvData, long slSize);
  // A memory stream holding the source's bytes from its current position to its end (the source
  // is read), positioned at 0.
  void CreateMemoryStream_t(CStream &strmSource);
  // Opens a soft path for reading ("r"), writing ("w") or appending ("a"), from disk or from a
  // group archive; the codec becomes 8-bit.
  void OpenFile_t(const char *strFileName, const char *strMode);
  // Opens a disk file (mode "r", "w" or "a"); 0 (the stream unchanged) when it cannot be opened.
  int CreateFileStream(const CString &strFileName, const char *strMode);
  // Opens an entry of a group archive for reading; 0 (the stream unchanged) when it cannot.
  int CreateZipStream(const CString &strName);
  // A memory stream holding the whole file.
  void CreateMemoryStream_t(const char *strFileName);
  // A signed stream over `strm` (not owned) in place of the current implementation, for reading
  // ("r") or writing ("w", with the signature type `slType`); throws CFileException when the
  // header is bad (the stream is then unchanged).
  void CreateSignedStream(CStream &strm, const char *strMode, long slType);
  // The same over a disk file that the signed stream owns; 0 (the stream unchanged) when the file
  // cannot be opened.
  int CreateSignedStream(const char *strFileName, const char *strMode, long slType);
  // Takes over an implementation (the handle owns it from now on).
  void SetImplementation(CStreamImp *pImp);
  CStreamImp *GetImplementation(void) const { return strm_pImp; }

  // Raw operations, forwarded to the implementation.
  void Peek_t(void *pvBuffer, long slSize) { strm_pImp->Peek_t(pvBuffer, slSize); }
  // Reading 0 bytes does nothing; other sizes count as effective bytes.
  void Read_t(void *pvBuffer, long slSize);
  void Write_t(const void *pvBuffer, long slSize) { strm_pImp->Write_t(pvBuffer, slSize); }
  void Write_t(CStream &strmSource) { strm_pImp->Write_t(strmSource); }
  void SeekBeg_t(long slOffset) { strm_pImp->SeekBeg_t(slOffset); }
  void SeekEnd_t(long slOffset) { strm_pImp->SeekEnd_t(slOffset); }
  void SeekCur_t(long slOffset) { strm_pImp->SeekCur_t(slOffset); }
  void SetSize_t(long slSize) { strm_pImp->SetSize_t(slSize); }
  void Finish_t(void) { strm_pImp->Finish_t(); }
  void ReadAhead_t(long slSize) { strm_pImp->ReadAhead_t(slSize); }
  long GetSize(void) { return strm_pImp->GetSize(); }
  long GetPosition(void) { return strm_pImp->GetPosition(); }
  int IsAtEOF_t(void) { return strm_pImp->IsAtEOF_t(); }
  CString GetDescription(void) { return strm_pImp->GetDescription(); }
  // The unread bytes in place, when the stream holds them in memory (see
  // CStreamImp::GetReadWindow), else null; a reader that uses them moves past them with
  // SkipWindow_t, which counts them as read.
  const char *GetReadWindow(long &slBytes)
  {
    return static_cast<const char *>(strm_pImp->GetReadWindow(slBytes));
  }
  void SkipWindow_t(long slBytes);

  // A value as its bytes (little-endian, as it lies in memory).
  template <class T> void ReadValue_t(T &value)
  {
    static_assert(std::is_trivially_copyable<T>::value, "ReadValue_t needs a plain value type");
    Read_t(&value, sizeof(T));
  }
  template <class T> void WriteValue_t(const T &value)
  {
    static_assert(std::is_trivially_copyable<T>::value, "WriteValue_t needs a plain value type");
    Write_t(&value, sizeof(T));
  }

  // Chunk identifiers: four bytes.
  CChunkID GetID_t(void);
  CChunkID PeekID_t(void);
  void WriteID_t(const CChunkID &cid);
  // Reads four bytes and throws if they are not `cid` (they stay consumed).
  void ExpectID_t(const CChunkID &cid);

  // The stream from its start (at most `slMaximum` bytes unless -1) into the block.
  void ReadDataBlock_t(CDataBlock &db, long slMaximum = -1);
  void WriteDataBlock_t(CDataBlock &db);
  // The whole stream, from its start, into the block; the position is kept.
  void ReadWhole_t(CDataBlock &db);

  // Positions at the next occurrence of the pattern (1 to 32767 bytes) and returns its position;
  // -1 (back at the start position) if there is none.
  long Find_t(const unsigned char *pubPattern, long slLength);
  // Reads the keyword's characters; throws at the first that differs.
  void ExpectKeyword_t(const CString &strKeyword);

  // The text layer.
  void SetASCII(void);
  void SetUTF8(void);
  void SetUTF16(void);
  void SetUTF16Inv(void);
  // Chooses the codec from the byte order mark at the start (8-bit without one) and skips it.
  void ReadTextHeader_t(void);
  void WriteTextHeader_t(void);
  // One line-normalised character, narrowed to 8 bits; 0 at the end.
  char GetChar_t(void);
  // One line-normalised character; throws "EOF reached!" at the end.
  unsigned short GetWChar_t(void);
  // A line without its line feed (CR, CR LF, LF and LF CR all end a line), as UTF-8; throws
  // "EOF reached!" when no line is left.
  CString GetLine_t(void);
  CWString GetLineW_t(void);
  // Writes the text (UTF-8) and a line end; every line feed becomes CR LF.
  void PutLine_t(const char *strLine);
  void PutLineW_t(const unsigned short *wstrLine);
  // Formatted text through the codec (a line feed becomes CR LF); the 8-bit format is UTF-8.
  void FPrintF(const char *strFormat, ...);
  void FPrintFV(const char *strFormat, va_list args);
  void FPrintF(const unsigned short *wstrFormat, ...);
  void FPrintFV(const unsigned short *wstrFormat, va_list args);
  // Scans formatted text; returns the bytes consumed, or -1 if the scan failed.
  long FScanF(const char *strFormat, ...);
  long FScanFV(const char *strFormat, va_list args);
  long FScanF(const unsigned short *wstrFormat, ...);
  long FScanFV(const unsigned short *wstrFormat, va_list args);
  // Throws a CFileException with the formatted message and this stream's description.
  [[noreturn]] void Throw_t(const char *strFormat, ...);

  // Type-safe fronts of FPrintF and FScanF.
  template <class... Args> void Print_t(const char *strFmt, const Args &...args)
  {
    PutText_t(strFormat(strFmt, args...));
  }
  // Writes UTF-8 text through the codec (line feeds become CR LF), without a line end.
  void PutText_t(const char *strText);
  void PutTextW_t(const unsigned short *wstrText);

  // A character read with line normalisation; false when none could be read.
  bool ReadNormalizedChar_t(unsigned short &wch);

private:
  void SetCodec(CTextCodec *pCodec, int iKind);
  void PutWChar_t(unsigned short wch);

  enum CodecKind { SCK_ASCII, SCK_UTF8, SCK_UTF16, SCK_UTF16INV };

  CStreamImp *strm_pImp;
  CTextCodec *strm_pCodec;
  CodecKind strm_eCodec;
};

} // namespace QuennelEngine
