#pragma once
// The readable form of metadata files: the same named primitives as the binary form, one item a
// line, indented two spaces a level, under the names the file writer and reader pass. The whole
// file is one block whose start line carries the format version (and stands for the binary
// form's header: the program version is not recorded). Each object's data is a block of its own
// after its index and type:
//
//   QuennelEngine2 MetaData Version 8 {
//     Info {
//       EditDataStripped: 1
//   ...
//     InternalObjects 1 {
//       Object: 0
//       Type: 1
//       {
//         Struct {
//   ...
//   }
//
// Files of the earlier layout (a ProgramVersion line, each list entry wrapped in a block named
// for it, the lists "ObjectTypes" and "Objects") are still read.
//
// Lines end in CR LF and no byte-order mark is written; the reader skips a UTF-8 one and takes
// any line end. Core installs both through mdSetTextFormFactories when it loads.
#include "core/meta/MetaStreams.h"

namespace QuennelEngine {

class CORE_API CTextMetaWriter : public CMetaWriter {
public:
  explicit CTextMetaWriter(CStream &strm);
  ~CTextMetaWriter(void) override;
  // The header line (and the program version); Close_t ends the file's block and flushes.
  void Open_t(void) override;
  void Close_t(void) override;
  void WriteInt_t(const char *strName, long sl) override;
  void WriteRaw_t(const char *strName, const void *pv, long slSize) override;
  void WriteKind_t(const char *strName, DataTypeType dtt) override;
  void WriteString_t(const char *strName, const CString &str) override;
  void WriteBlockStart_t(const char *strName, const char *strChunk) override;
  void WriteBlockEnd_t(void) override;
  void WriteListStart_t(const char *strName, const char *strChunk, long ct) override;
  void WriteListEnd_t(void) override;
  void WriteRawMember_t(const char *strMember, const char *strName, const void *pv,
                        long slSize) override;
  void WriteIntMember_t(const char *strMember, const char *strName, long sl) override;

private:
  // The member's start line, and the place where its item goes on the next line (room for
  // `ctItem` characters after its name and ": ", and for the end line, is taken too).
  char *StartMember_t(const char *strMember, const char *strName, long ctItem);
  // Ends the item's line at `pch` and writes the member's end line.
  void EndMember_t(char *pch);
  // Room for the current indentation and `ctMost` characters and a line end; the indentation
  // is put and the place after it returned. EndLine_t ends the line where `pch` stands.
  char *StartLine_t(long ctMost);
  void EndLine_t(char *pch);
  void Reserve_t(long ct);
  void Flush_t(void);

  char *tw_pchBuffer;
  long tw_ctUsed;
  long tw_ctAllocated;
  long tw_iLevel;
};

class CORE_API CTextMetaReader : public CMetaReader {
public:
  explicit CTextMetaReader(CStream &strm);
  ~CTextMetaReader(void) override;
  long Open_t(void) override;
  void Close_t(void) override;
  void ReadInt_t(const char *strName, long &sl) override;
  void ReadString_t(const char *strName, CString &str) override;
  void ReadKind_t(const char *strName, DataTypeType &dtt) override;
  void ReadRaw_t(const char *strName, void *pv, long slSize) override;
  void ReadBlockStart_t(const char *strName, const char *strChunk) override;
  void ReadBlockEnd_t(void) override;
  void ReadListStart_t(const char *strName, const char *strChunk, long &ct) override;
  void ReadListEnd_t(void) override;
  void SkipRaw_t(const char *strName, long slSize) override;
  // The first 10 characters of the header text, also after a UTF-8 byte-order mark.
  int IsMetaFile(void) override;
  // Throws CSimpleException: "%1(%2): " (the stream's description and the line) and the message.
  [[noreturn]] void Error_t(const CString &strMessage) override;
  long GetBytesLeft(void) const override;
  // The next line is looked at and kept for the read that follows.
  bool IsNextBlock_t(const char *strName) override;
  bool IsNextItem_t(const char *strName) override;
  // The number of the line read last (1 for the first line).
  long GetLine(void) const { return tr_iLine; }

private:
  // The next line that is not empty, trimmed of blanks at both ends; false at the end of input.
  // A line held by a look ahead comes first.
  bool NextLine_t(void);
  // Reads the next line ahead and holds it; false at the end of input.
  bool HoldNextLine_t(void);
  void MustNextLine_t(void);
  bool Fill_t(void);
  // The current line after `strName` (compared ignoring letter case), or null.
  const char *AfterName(const char *strName) const;
  const char *AfterNameAndColon_t(const char *strName, const char *strError);
  void ReadBlockLine_t(const char *strName, const char *strError);
  void ReadEndLine_t(const char *strError);
  void ReadRawLine_t(const char *strName, unsigned char *pub, long slSize);

  char *tr_pchBuffer;
  long tr_ctAllocated;
  long tr_iStart; // the first unused byte
  long tr_iEnd;   // the end of what was read from the stream
  bool tr_bStreamDone;
  const char *tr_pchLine; // the current line (not terminated; tr_ctLine characters)
  long tr_ctLine;
  bool tr_bHeld; // the current line was read ahead and is the next one to be taken
  long tr_iLine;
  char *tr_pchScratch; // a terminated copy of the current line, for messages and scans
  long tr_ctScratch;
};

// Which form a stream holds at its position: 1 binary, 2 text (also after a UTF-8 byte-order
// mark), 0 neither. The stream is only peeked at.
CORE_API int mdPeekMetaFileForm(CStream &strm);

// The keyword a kind has in the text form, or "Invalid".
CORE_API const char *mdKindKeyword(long iKind);
// The kind of a keyword, or -1.
CORE_API long mdKindFromKeyword(const char *strKeyword);

} // namespace QuennelEngine
