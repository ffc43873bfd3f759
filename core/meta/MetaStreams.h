#pragma once
// The meta writer and meta reader: the only code that touches the stream of a metadata file.
// The file writer and reader (MetaFiles.h) and every custom Read, Write and Skip operation talk
// to them through a few named primitives (an integer, a raw block, a string, a block, a list),
// so one sequence of calls serves the binary form and the text form alike. In the binary form
// the names are ignored and blocks without a chunk cost no bytes.
#include "core/meta/DataType.h"
#include "core/text/String.h"

namespace QuennelEngine {

class CStream;

class CORE_API CMetaWriter {
public:
  explicit CMetaWriter(CStream &strm) : mw_pstrm(&strm) {}
  virtual ~CMetaWriter(void);
  CMetaWriter(const CMetaWriter &) = delete;
  CMetaWriter &operator=(const CMetaWriter &) = delete;

  // The header (magic, byte-order cookie, format and program version) and the footer.
  virtual void Open_t(void) = 0;
  virtual void Close_t(void) = 0;
  virtual void WriteInt_t(const char *strName, long sl) = 0;
  virtual void WriteRaw_t(const char *strName, const void *pv, long slSize) = 0;
  virtual void WriteKind_t(const char *strName, DataTypeType dtt) = 0;
  virtual void WriteString_t(const char *strName, const CString &str) = 0;
  // A chunk of null or "" means none.
  virtual void WriteBlockStart_t(const char *strName, const char *strChunk) = 0;
  virtual void WriteBlockEnd_t(void) = 0;
  virtual void WriteListStart_t(const char *strName, const char *strChunk, long ct) = 0;
  virtual void WriteListEnd_t(void) = 0;
  // A structure member's block holding one raw run or one integer: the block's start, the item
  // and the block's end, as the three calls write them (a form may make them in one piece).
  virtual void WriteRawMember_t(const char *strMember, const char *strName, const void *pv,
                                long slSize);
  virtual void WriteIntMember_t(const char *strMember, const char *strName, long sl);

  // The binary form writes plain runs as one raw block.
  virtual int IsBinary(void) const { return 0; }
  CStream &GetStream(void) const { return *mw_pstrm; }
  // The program version the header records: the running program's unless set (a converted
  // file keeps the version of the program that saved it).
  void SetProgramVersionText(const CString &strVersion)
  {
    mw_strVersion = strVersion;
    mw_bVersionSet = true;
  }
  const CString &GetProgramVersionText(void) const;

protected:
  CStream *mw_pstrm;
  CString mw_strVersion;
  bool mw_bVersionSet = false;
};

class CORE_API CMetaReader {
public:
  explicit CMetaReader(CStream &strm) : mr_pstrm(&strm), mr_iVersion(-1) {}
  virtual ~CMetaReader(void);
  CMetaReader(const CMetaReader &) = delete;
  CMetaReader &operator=(const CMetaReader &) = delete;

  // Checks the header and returns the format version.
  virtual long Open_t(void) = 0;
  // Checks the footer.
  virtual void Close_t(void) = 0;
  virtual void ReadInt_t(const char *strName, long &sl) = 0;
  virtual void ReadString_t(const char *strName, CString &str) = 0;
  virtual void ReadKind_t(const char *strName, DataTypeType &dtt) = 0;
  virtual void ReadRaw_t(const char *strName, void *pv, long slSize) = 0;
  virtual void ReadBlockStart_t(const char *strName, const char *strChunk) = 0;
  virtual void ReadBlockEnd_t(void) = 0;
  // A negative count is an error.
  virtual void ReadListStart_t(const char *strName, const char *strChunk, long &ct) = 0;
  virtual void ReadListEnd_t(void) = 0;
  // Drops `slSize` bytes of raw data (in the binary form in pieces of at most 256 bytes).
  virtual void SkipRaw_t(const char *strName, long slSize) = 0;
  long GetVersion(void) const { return mr_iVersion; }
  // Peeks at the stream: whether it holds this form of metadata.
  virtual int IsMetaFile(void) = 0;
  // Throws CSimpleException: the stream's description, ": " and the message.
  [[noreturn]] virtual void Error_t(const CString &strMessage);
  // The bytes left to read: every count read from a file is bounded by them. A form that reads
  // ahead counts what it holds but has not used.
  virtual long GetBytesLeft(void) const;

  virtual int IsBinary(void) const { return 0; }
  CStream &GetStream(void) const { return *mr_pstrm; }
  // The unread bytes in place when this reader's raw reads are plain copies of a stream that
  // holds them in memory (see CStream::GetReadWindow), else null (the default). A caller that
  // uses them moves the stream past them itself.
  virtual const char *GetDirectBytes(long &slBytes)
  {
    slBytes = 0;
    return nullptr;
  }

  // Whether the next item is a block, or an item of another kind, of this name; nothing is read.
  // Only the text form names its items: the binary form answers false. Readers use them for
  // items that files of an earlier layout have and newer ones do not.
  virtual bool IsNextBlock_t(const char *) { return false; }
  virtual bool IsNextItem_t(const char *) { return false; }

protected:
  CStream *mr_pstrm;
  long mr_iVersion;
};

// Text files of an earlier layout wrap each entry of the lists of files, identifiers, types and
// objects in a block named for the entry. Reads such a block's start when it comes and says
// whether it did (the caller then reads its end after the entry).
inline bool mdReadEntryWrapper_t(CMetaReader &mr, const char *strName)
{
  if (!mr.IsNextBlock_t(strName)) return false;
  mr.ReadBlockStart_t(strName, nullptr);
  return true;
}

class CORE_API CBinaryMetaWriter : public CMetaWriter {
public:
  explicit CBinaryMetaWriter(CStream &strm) : CMetaWriter(strm) {}
  void Open_t(void) override;
  void Close_t(void) override;
  void WriteInt_t(const char *strName, long sl) override;
  void WriteRaw_t(const char *strName, const void *pv, long slSize) override;
  void WriteKind_t(const char *strName, DataTypeType dtt) override;
  void WriteString_t(const char *strName, const CString &str) override;
  void WriteBlockStart_t(const char *strName, const char *strChunk) override;
  void WriteBlockEnd_t(void) override {}
  void WriteListStart_t(const char *strName, const char *strChunk, long ct) override;
  void WriteListEnd_t(void) override {}
  int IsBinary(void) const override { return 1; }
};

class CORE_API CBinaryMetaReader : public CMetaReader {
public:
  explicit CBinaryMetaReader(CStream &strm) : CMetaReader(strm) {}
  long Open_t(void) override;
  void Close_t(void) override;
  void ReadInt_t(const char *strName, long &sl) override;
  void ReadString_t(const char *strName, CString &str) override;
  void ReadKind_t(const char *strName, DataTypeType &dtt) override;
  void ReadRaw_t(const char *strName, void *pv, long slSize) override;
  void ReadBlockStart_t(const char *strName, const char *strChunk) override;
  void ReadBlockEnd_t(void) override {}
  void ReadListStart_t(const char *strName, const char *strChunk, long &ct) override;
  void ReadListEnd_t(void) override {}
  void SkipRaw_t(const char *strName, long slSize) override;
  int IsMetaFile(void) override;
  int IsBinary(void) const override { return 1; }
  // (the stream's size is taken once: a stream does not change while it is read)
  long GetBytesLeft(void) const override;
  const char *GetDirectBytes(long &slBytes) override;

private:
  void ExpectChunk_t(const char *strChunk);
  mutable long bmr_slSize = -1;
};

// The format version that writers write and the oldest and newest that readers accept.
enum : long {
  MD_FORMAT_VERSION = 8,
  MD_FORMAT_OLDEST = 1,
};
// The byte-order cookie of the binary form.
enum : unsigned long {
  MD_ENDIANNESS_COOKIE = 0x1234ABCDUL,
};

// The text form plugs in here: its writer (used under md_bSaveTextFiles) and its reader (tried
// when the binary reader does not recognise a stream). Both are made for one file and deleted
// after it.
typedef CMetaWriter *(*MetaWriterFactory)(CStream &strm);
typedef CMetaReader *(*MetaReaderFactory)(CStream &strm);
CORE_API void mdSetTextFormFactories(MetaWriterFactory pWriter, MetaReaderFactory pReader);
CORE_API MetaWriterFactory mdGetTextWriterFactory(void);
CORE_API MetaReaderFactory mdGetTextReaderFactory(void);

// The version text of the running program that files record (Core's version until the host
// sets it).
CORE_API const CString &mdGetProgramVersionText(void);
CORE_API void mdSetProgramVersionText(const CString &strVersion);

} // namespace QuennelEngine
