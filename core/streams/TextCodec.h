#pragma once
// The text codecs of a stream: how characters of the text layer become bytes. Each reads and writes
// through the raw operations of the stream it is bound to, and counts the bytes it reads.
#include "core/platform/Platform.h"

namespace QuennelEngine {

class CStream;

class CORE_API CTextCodec {
public:
  explicit CTextCodec(CStream *pstrm) : tc_pstrm(pstrm) {}
  virtual ~CTextCodec();
  // Reads one character into `*pwch`; 0 (reading nothing) at the end of the stream, else 1.
  virtual int ReadChar(unsigned short *pwch) = 0;
  // The next character without moving; 0 at the end.
  virtual unsigned short PeekChar(void) = 0;
  virtual void WriteChar(unsigned short wch) = 0;
  // Writes the byte order mark of the encoding (nothing for 8-bit text).
  virtual void WriteHeader(void) = 0;
  // The 8-bit form of a character, for 8-bit readers.
  virtual void ToASCIIChar(char *pch, unsigned short wch) = 0;

protected:
  CStream *tc_pstrm;
};

// 8-bit text: one byte per character; characters without an 8-bit form become 31.
class CORE_API CTextCodecASCII : public CTextCodec {
public:
  using CTextCodec::CTextCodec;
  int ReadChar(unsigned short *pwch) override;
  unsigned short PeekChar(void) override;
  void WriteChar(unsigned short wch) override;
  void WriteHeader(void) override;
  void ToASCIIChar(char *pch, unsigned short wch) override;
};

// UTF-8: one to three bytes per character; a stray continuation byte reads as 31.
class CORE_API CTextCodecUTF8 : public CTextCodec {
public:
  using CTextCodec::CTextCodec;
  int ReadChar(unsigned short *pwch) override;
  unsigned short PeekChar(void) override;
  void WriteChar(unsigned short wch) override;
  void WriteHeader(void) override;
  void ToASCIIChar(char *pch, unsigned short wch) override;

private:
  // Decodes the character at the stream's position; `ctTaken` bytes form it.
  int Decode(unsigned short *pwch, long &ctTaken);
};

// UTF-16, low byte first.
class CORE_API CTextCodecUTF16 : public CTextCodec {
public:
  using CTextCodec::CTextCodec;
  int ReadChar(unsigned short *pwch) override;
  unsigned short PeekChar(void) override;
  void WriteChar(unsigned short wch) override;
  void WriteHeader(void) override;
  void ToASCIIChar(char *pch, unsigned short wch) override;
};

// UTF-16, high byte first.
class CORE_API CTextCodecUTF16Inv : public CTextCodecUTF16 {
public:
  using CTextCodecUTF16::CTextCodecUTF16;
  int ReadChar(unsigned short *pwch) override;
  unsigned short PeekChar(void) override;
  void WriteChar(unsigned short wch) override;
  void WriteHeader(void) override;
};

} // namespace QuennelEngine
