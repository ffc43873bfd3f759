// The lexer: numbers of every base and their errors, characters, strings and escapes, comments
// and line mode, the longest operator, keywords in both cases, over-long tokens, the end of the
// input, preparation of the input, markers, rollback and commit, the trace, and random input.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <stdlib.h>

#include <string>
#include <vector>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

enum TestIDs {
  OP_LESS = 1,
  OP_SHL,
  OP_SHL_ASSIGN,
  OP_MINUS,
  OP_ARROW,
  OP_ARROW_STAR,
  OP_DOT,
  OP_ELLIPSIS,
  OP_SEMICOLON,
  OP_DIV_ASSIGN,
  OP_DIV,
  OP_PLUS,
  KW_IF = 100,
  KW_WHILE,
};

const COperatorToken _aotOperators[] = {
    {"<", OP_LESS},
    {"<<", OP_SHL},
    {"<<=", OP_SHL_ASSIGN},
    {"-", OP_MINUS},
    {"->", OP_ARROW},
    {"->*", OP_ARROW_STAR},
    {".", OP_DOT},
    {"...", OP_ELLIPSIS},
    {";", OP_SEMICOLON},
    {"/=", OP_DIV_ASSIGN},
    {"/", OP_DIV},
    {"+", OP_PLUS},
    {"+", 99}, // a repeated operator: the first row wins
    {"", 0},
};

const ErrorCode _aecOperators[] = {{OP_SHL, "OP_SHL", "shift left"}};
const ErrorTable _etOperators = {1, _aecOperators};

const CKeywordToken _aktKeywords[] = {{"if", KW_IF}, {"while", KW_WHILE}, {nullptr, 0}};

void Prepare(CLexer &lx, const std::string &strSource)
{
  CStream strm;
  strm.CreateMemoryStream_t(strSource.data(), (long)strSource.size());
  lx.PrepareInput_t(strm);
}

// A lexer on `strSource` with the test tables.
struct CTestLexer : CLexer {
  explicit CTestLexer(const std::string &strSource, bool bHistory = false)
  {
    SetOperatorTable(_aotOperators, &_etOperators);
    SetKeywordTable(_aktKeywords, nullptr);
    if (bHistory) SetLexerMode(LM_HISTORY);
    Prepare(*this, strSource);
  }
};

// What a token is, for comparing readings.
struct TokenView {
  long iID, iLine, iStart, iEnd, iLineAfter;
  unsigned long ulValue;
  double dValue;
  std::string strText;
  bool operator==(const TokenView &tv) const
  {
    return iID == tv.iID && iLine == tv.iLine && iStart == tv.iStart && iEnd == tv.iEnd &&
           iLineAfter == tv.iLineAfter && ulValue == tv.ulValue && dValue == tv.dValue &&
           strText == tv.strText;
  }
};

TokenView Next(CLexer &lx)
{
  CToken *ptok = lx.GetNextToken_t();
  return TokenView{
      ptok->tok_iID,       ptok->tok_iLine,   ptok->tok_iStart, ptok->tok_iEnd,
      lx.GetCurrentLine(), ptok->tok_ulValue, ptok->tok_dValue, std::string(ptok->GetText())};
}

// Every token up to and including the end.
std::vector<TokenView> ReadAll(CLexer &lx)
{
  std::vector<TokenView> atv;
  do {
    atv.push_back(Next(lx));
  } while (atv.back().iID != TID_EOF && atv.size() < 100000);
  return atv;
}

std::vector<long> IDs(const std::vector<TokenView> &atv)
{
  std::vector<long> ai;
  for (const TokenView &tv : atv) ai.push_back(tv.iID);
  return ai;
}

// Keeps error lines off the standard output while it lives (they still reach the line buffer).
class CQuietErrors {
public:
  CQuietErrors()
  {
    for (long i = 0; i < 2; i++) {
      qe_aulFilters[i] = conGetOutputFilter(COT_STDOUT + i);
      conSetOutputFilter(COT_STDOUT + i,
                         qe_aulFilters[i] & ~(unsigned long)(CMT_ERROR | CMT_TRACE));
    }
  }
  ~CQuietErrors()
  {
    for (long i = 0; i < 2; i++) conSetOutputFilter(COT_STDOUT + i, qe_aulFilters[i]);
  }

private:
  unsigned long qe_aulFilters[2]; // standard output and what it leaves to the second output
};

} // namespace

TEST(Lexer, NumbersOfEveryBase)
{
  CTestLexer lx(
      "0x1Fu 1.5e3f .5 09 0b101 017 0 42UL 1e-2 017.5 0.25 3. 0XffL 1E+2 2.5L 4294967295");
  CConsoleLines cl;
  struct Expected {
    long iID;
    unsigned long ulValue;
    double dValue;
    const char *strText;
  };
  const Expected aExpected[] = {
      {TID_CONST_INT, 31, 31, "0x1Fu"},   {TID_CONST_FLOAT, 0, 1500, "1.5e3f"},
      {TID_CONST_FLOAT, 0, 0.5, ".5"},    {TID_CONST_INT, 9, 9, "09"},
      {TID_CONST_INT, 5, 5, "0b101"},     {TID_CONST_INT, 15, 15, "017"},
      {TID_CONST_INT, 0, 0, "0"},         {TID_CONST_INT, 42, 42, "42UL"},
      {TID_CONST_FLOAT, 0, 0.01, "1e-2"}, {TID_CONST_FLOAT, 0, 17.5, "017.5"},
      {TID_CONST_FLOAT, 0, 0.25, "0.25"}, {TID_CONST_FLOAT, 0, 3, "3."},
      {TID_CONST_INT, 255, 255, "0XffL"}, {TID_CONST_FLOAT, 0, 100, "1E+2"},
      {TID_CONST_FLOAT, 0, 2.5, "2.5L"},  {TID_CONST_INT, 4294967295u, 4294967295.0, "4294967295"},
  };
  for (const Expected &e : aExpected) {
    CToken *ptok = lx.GetNextToken_t();
    SCOPED_TRACE(e.strText);
    EXPECT_EQ(ptok->tok_iID, e.iID);
    EXPECT_TRUE(ptok->IsConst());
    EXPECT_FALSE(ptok->IsOperator());
    EXPECT_EQ(ptok->tok_ulValue, e.ulValue);
    EXPECT_EQ(ptok->tok_dValue, e.dValue);
    EXPECT_STREQ(ptok->GetText(), e.strText);
  }
  EXPECT_EQ(lx.GetNextToken_t()->tok_iID, TID_EOF);
  EXPECT_EQ(lx.GetErrorCount(), 0);
  EXPECT_FALSE(cl.Has("error"));
}

TEST(Lexer, AMalformedNumberIsOneTokenAndOneErrorWithItsLine)
{
  CQuietErrors qe;
  struct Case {
    const char *strNumber;
    const char *strMessage;
    long iID;
  };
  const Case aCases[] = {
      {"0b102", "a non-binary digit in a binary number.", TID_CONST_INT},
      {"0b", "a non-binary digit in a binary number.", TID_CONST_INT},
      {"019", "a non Oct digit in an Oct number.", TID_CONST_INT},
      {"0x1G", "a non-hexadecimal digit in a hexadecimal number.", TID_CONST_INT},
      {"0x", "a non-hexadecimal digit in a hexadecimal number.", TID_CONST_INT},
      {"12ab", "a non-decimal digit in a decimal number.", TID_CONST_INT},
      {"7uu", "a non-decimal digit in a decimal number.", TID_CONST_INT},
      {"1.5x", "illegal character in a floating point number.", TID_CONST_FLOAT},
      {"1.5ff", "illegal character in a floating point number.", TID_CONST_FLOAT},
      {"1e+", "floating point exponent must be integral", TID_CONST_FLOAT},
      {"1e2.5", "floating point exponent must be integral", TID_CONST_FLOAT},
  };
  for (const Case &c : aCases) {
    SCOPED_TRACE(c.strNumber);
    CTestLexer lx(std::string(";\n\n") + c.strNumber + ";");
    CConsoleLines cl;
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, OP_SEMICOLON);
    CToken *ptok = lx.GetNextToken_t();
    EXPECT_EQ(ptok->tok_iID, c.iID);
    EXPECT_STREQ(ptok->GetText(), c.strNumber);
    EXPECT_EQ(lx.GetErrorCount(), 1);
    EXPECT_TRUE(cl.Has(std::string("<memory stream>(3) : error : ") + c.strMessage)) << cl.Text();
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, OP_SEMICOLON);
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, TID_EOF);
  }
  // The value keeps the digits read before the error.
  CTestLexer lx("0b102");
  EXPECT_EQ(lx.GetNextToken_t()->tok_ulValue, 2u);
}

TEST(Lexer, CharactersStringsAndEscapes)
{
  CQuietErrors qe;
  CTestLexer lx("'a' '\\n' '\\'' '\\\\' '\\0' '\\t' '\\v' '\\a' '\\b' '\\f' '\\r' '\\?' '\\\"'\n"
                "\"x\\\"y\\\\z\\n\" sep \"ab\" \t \"cd\" \"e\"\n\"f\" g '\\q'");
  const unsigned long aulChars[] = {'a', 10, '\'', '\\', 0, 9, 11, 7, 8, 12, 13, '?', '"'};
  for (unsigned long ul : aulChars) {
    CToken *ptok = lx.GetNextToken_t();
    EXPECT_EQ(ptok->tok_iID, TID_CONST_CHAR);
    EXPECT_EQ(ptok->tok_ulValue, ul);
  }
  EXPECT_EQ(lx.GetErrorCount(), 0);

  TokenView tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_CONST_STRING);
  EXPECT_EQ(tv.strText, "x\"y\\z\n");
  EXPECT_STREQ(lx.GetNextToken_t()->GetText(), "sep");
  // Constants apart only by blanks and line feeds are one token, ending at the last quote.
  tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_CONST_STRING);
  EXPECT_EQ(tv.strText, "abcdef");
  EXPECT_EQ(tv.iLine, 2);
  EXPECT_EQ(tv.iLineAfter, 3);
  tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_IDENTIFIER);
  EXPECT_EQ(tv.strText, "g");
  EXPECT_EQ(tv.iLine, 3);

  CConsoleLines cl;
  CToken *ptok = lx.GetNextToken_t();
  EXPECT_EQ(ptok->tok_iID, TID_CONST_CHAR);
  EXPECT_EQ(ptok->tok_ulValue, (unsigned long)'q');
  EXPECT_TRUE(cl.Has("<memory stream>(3) : error : Unknown escape sequence \\q.")) << cl.Text();
  EXPECT_EQ(lx.GetNextToken_t()->tok_iID, TID_EOF);

  // In line mode the line feed is a token of its own, so it keeps constants apart.
  CTestLexer lxLines("\"ab\"\n\"cd\"");
  lxLines.SetLexerMode(LM_LINE_MODE_ON);
  EXPECT_EQ(IDs(ReadAll(lxLines)),
            (std::vector<long>{TID_CONST_STRING, TID_EOL, TID_CONST_STRING, TID_EOF}));
}

TEST(Lexer, BadCharacterConstantsGiveOneTokenAndOneError)
{
  CQuietErrors qe;
  const char *astrCases[] = {"'ab';", "'';", "'a\n;", "'\\\n;"};
  for (const char *str : astrCases) {
    SCOPED_TRACE(str);
    CTestLexer lx(str);
    CConsoleLines cl;
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, TID_CONST_CHAR);
    EXPECT_EQ(lx.GetErrorCount(), 1);
    EXPECT_TRUE(cl.Has("unterminated character constant."));
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, OP_SEMICOLON);
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, TID_EOF);
  }
}

TEST(Lexer, NothingIsReadPastTheEndOfTheInput)
{
  CQuietErrors qe;
  struct Case {
    const char *strSource;
    long iID; // the one token before the end
    const char *strText;
    const char *strError; // null: none
  };
  const Case aCases[] = {
      {"x \"abc", TID_CONST_STRING, "abc", "EOF encountered while parsing a string constant."},
      {"x \"abc\\", TID_CONST_STRING, "abc", "EOF encountered while parsing a string constant."},
      {"x \"ab\" ", TID_CONST_STRING, "ab", nullptr},
      {"x 'a", TID_CONST_CHAR, "a", "unterminated character constant."},
      {"x '\\", TID_CONST_CHAR, "", "unterminated character constant."},
      {"x '", TID_CONST_CHAR, "", "unterminated character constant."},
      {"x /* abc", TID_EOF, "", "EOF encountered while parsing a comment."},
      {"x /* abc *", TID_EOF, "", "EOF encountered while parsing a comment."},
      {"x // abc", TID_EOF, "", nullptr},
      {"x 0x", TID_CONST_INT, "0x", "a non-hexadecimal digit in a hexadecimal number."},
      {"x 1e", TID_CONST_FLOAT, "1e", "floating point exponent must be integral"},
      {"x .", OP_DOT, ".", nullptr},
      {"x ..", OP_DOT, ".", nullptr},
  };
  for (const Case &c : aCases) {
    SCOPED_TRACE(c.strSource);
    const long ctSource = (long)strlen(c.strSource);
    CTestLexer lx(c.strSource);
    CConsoleLines cl;
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, TID_IDENTIFIER);
    CToken *ptok = lx.GetNextToken_t();
    EXPECT_EQ(ptok->tok_iID, c.iID);
    EXPECT_STREQ(ptok->GetText(), c.strText);
    EXPECT_LE(ptok->tok_iEnd, ctSource);
    EXPECT_LE(lx.GetMarker(), ctSource);
    EXPECT_EQ(lx.GetErrorCount(), c.strError != nullptr ? 1 : 0);
    if (c.strError != nullptr) {
      EXPECT_TRUE(cl.Has(c.strError)) << cl.Text();
    }
    while (ptok->tok_iID != TID_EOF) ptok = lx.GetNextToken_t();
    EXPECT_EQ(ptok->tok_iStart, ctSource);
    EXPECT_EQ(lx.GetMarker(), ctSource);
    // The end is returned again and again.
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, TID_EOF);
    EXPECT_EQ(lx.GetNextToken_t()->tok_iID, TID_EOF);
  }

  // A line feed inside a string ends it (and still counts as a line).
  CTestLexer lx("\"ab\ncd\"");
  CConsoleLines cl;
  TokenView tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_CONST_STRING);
  EXPECT_EQ(tv.strText, "ab");
  EXPECT_TRUE(cl.Has("<memory stream>(1) : error : EOF encountered while parsing a string"));
  tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_IDENTIFIER);
  EXPECT_EQ(tv.iLine, 2);
}

TEST(Lexer, OverLongTokensAreCutAndReportedWithTheirLine)
{
  CQuietErrors qe;
  const std::string strLong(5000, 'a');
  const std::string strHalf(800, 'b');
  CTestLexer lx("x\n\n" + strLong + " y\n\"" + strHalf + "\"\n\"" + strHalf + "\" " +
                std::string(2000, '7') + " z");
  CConsoleLines cl;
  EXPECT_STREQ(lx.GetNextToken_t()->GetText(), "x");
  TokenView tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_IDENTIFIER);
  EXPECT_EQ(tv.strText, strLong.substr(0, 1023));
  EXPECT_EQ(tv.iEnd - tv.iStart, 5000); // the whole identifier is consumed
  EXPECT_TRUE(cl.Has("<memory stream>(3) : error : a token longer than 1023 characters was cut"))
      << cl.Text();
  EXPECT_EQ(lx.GetErrorCount(), 1);
  EXPECT_STREQ(lx.GetNextToken_t()->GetText(), "y");

  // A joined string constant is cut as a whole, and reported once, with the line it began on.
  tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_CONST_STRING);
  EXPECT_EQ(tv.strText, (strHalf + strHalf).substr(0, 1023));
  EXPECT_EQ(lx.GetErrorCount(), 2);
  EXPECT_TRUE(cl.Has("<memory stream>(4) : error : a token longer"));
  tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_CONST_INT);
  EXPECT_EQ(tv.strText.size(), 1023u);
  EXPECT_EQ(lx.GetErrorCount(), 3);
  EXPECT_STREQ(lx.GetNextToken_t()->GetText(), "z");
  EXPECT_EQ(lx.GetErrorCount(), 3);
}

TEST(Lexer, TheLongestOperatorWins)
{
  CTestLexer lx("<<=<<<->*->-... .. /=/ @+");
  const long aiExpected[] = {OP_SHL_ASSIGN, OP_SHL,      OP_LESS, OP_ARROW_STAR, OP_ARROW,
                             OP_MINUS,      OP_ELLIPSIS, OP_DOT,  OP_DOT,        OP_DIV_ASSIGN,
                             OP_DIV,        TID_INVALID, OP_PLUS, TID_EOF};
  const char *astrTexts[] = {"<<=", "<<", "<",  "->*", "->", "-", "...",
                             ".",   ".",  "/=", "/",   "@",  "+", ""};
  for (size_t i = 0; i < sizeof(aiExpected) / sizeof(aiExpected[0]); i++) {
    CToken *ptok = lx.GetNextToken_t();
    SCOPED_TRACE(astrTexts[i]);
    EXPECT_EQ(ptok->tok_iID, aiExpected[i]);
    EXPECT_STREQ(ptok->GetText(), astrTexts[i]);
    const bool bOperator = aiExpected[i] != TID_INVALID && aiExpected[i] != TID_EOF;
    EXPECT_EQ(ptok->IsOperator(), bOperator);
    if (bOperator) {
      EXPECT_EQ(ptok->tok_potOperator->ot_iTokenID, aiExpected[i]);
    }
  }

  // Without a table every such character is invalid on its own; a new table takes effect.
  CLexer lxBare;
  Prepare(lxBare, "<<");
  EXPECT_EQ(IDs(ReadAll(lxBare)), (std::vector<long>{TID_INVALID, TID_INVALID, TID_EOF}));
  lxBare.SetOperatorTable(_aotOperators, nullptr);
  lxBare.Rollback(0);
  EXPECT_EQ(IDs(ReadAll(lxBare)), (std::vector<long>{OP_SHL, TID_EOF}));
}

TEST(Lexer, KeywordsInBothCases)
{
  CTestLexer lx("if IF iff While while _if9");
  std::vector<TokenView> atv = ReadAll(lx);
  EXPECT_EQ(IDs(atv), (std::vector<long>{KW_IF, TID_IDENTIFIER, TID_IDENTIFIER, TID_IDENTIFIER,
                                         KW_WHILE, TID_IDENTIFIER, TID_EOF}));
  lx.Rollback(0);
  CToken *ptok = lx.GetNextToken_t();
  EXPECT_TRUE(ptok->IsKeyword());
  EXPECT_FALSE(ptok->IsIdentifier());
  EXPECT_EQ(ptok->tok_pktKeyword, &_aktKeywords[0]);
  EXPECT_TRUE(lx.GetNextToken_t()->IsIdentifier());

  lx.SetLexerMode(LM_CASE_INSENSITIVE);
  EXPECT_FALSE(lx.IsCaseSensitive());
  lx.Rollback(0);
  atv = ReadAll(lx);
  EXPECT_EQ(IDs(atv), (std::vector<long>{KW_IF, KW_IF, TID_IDENTIFIER, KW_WHILE, KW_WHILE,
                                         TID_IDENTIFIER, TID_EOF}));
  EXPECT_EQ(atv[1].strText, "IF"); // the text stays as written
}

TEST(Lexer, LineModeGivesLineEndsAndComments)
{
  const std::string strSource = "a // one\nb /* two\nthree */ c\n\n/**/d";
  CTestLexer lx(strSource);
  lx.SetLexerMode(LM_LINE_MODE_ON);
  std::vector<TokenView> atv = ReadAll(lx);
  EXPECT_EQ(IDs(atv), (std::vector<long>{TID_IDENTIFIER, TID_COMMENT, TID_EOL, TID_IDENTIFIER,
                                         TID_COMMENT, TID_IDENTIFIER, TID_EOL, TID_EOL, TID_COMMENT,
                                         TID_IDENTIFIER, TID_EOF}));
  EXPECT_EQ(atv[1].strText, "// one");
  EXPECT_EQ(atv[2].strText, "\n");
  EXPECT_EQ(atv[2].iLine, 1);
  EXPECT_EQ(atv[4].strText, "/* two\nthree */");
  EXPECT_EQ(atv[4].iLine, 2);
  EXPECT_EQ(atv[5].iLine, 3);
  EXPECT_EQ(atv[9].iLine, 5);

  // Off again: the same identifiers on the same lines.
  lx.SetLexerMode(LM_LINE_MODE_OFF);
  lx.Rollback(0);
  std::vector<TokenView> atvPlain = ReadAll(lx);
  ASSERT_EQ(atvPlain.size(), 5u);
  EXPECT_EQ(atvPlain[0], atv[0]);
  EXPECT_EQ(atvPlain[1].iLine, 2);
  EXPECT_EQ(atvPlain[2], atv[5]);
  EXPECT_EQ(atvPlain[3], atv[9]);
}

TEST(Lexer, InputPreparation)
{
  // Carriage returns go and a byte order mark is skipped: the same tokens on the same lines.
  CTestLexer lxLF("a\nb\n\"s\"\n");
  CTestLexer lxCRLF("\xEF\xBB\xBF"
                    "a\r\nb\r\n\"s\"\r\n");
  EXPECT_EQ(ReadAll(lxCRLF), ReadAll(lxLF));
  EXPECT_STREQ(lxCRLF.GetFileName(), "<memory stream>");

  CTestLexer lxEmpty("");
  TokenView tv = Next(lxEmpty);
  EXPECT_EQ(tv.iID, TID_EOF);
  EXPECT_EQ(tv.iLine, 1);
  EXPECT_EQ(tv.iStart, 0);

  // A zero byte inside the input does not end it.
  CTestLexer lxZero(std::string("a\0b", 3));
  EXPECT_EQ(IDs(ReadAll(lxZero)),
            (std::vector<long>{TID_IDENTIFIER, TID_INVALID, TID_IDENTIFIER, TID_EOF}));

  // Preparing again starts over, also after the end.
  Prepare(lxLF, "z");
  tv = Next(lxLF);
  EXPECT_EQ(tv.strText, "z");
  EXPECT_EQ(tv.iLine, 1);

  // Without input the reads throw; Init forgets the input.
  CLexer lx;
  EXPECT_EQ(ThrownBy([&] { lx.GetNextToken_t(); }),
            "Cannot read tokens past the end of file. File: \n");
  EXPECT_EQ(ThrownBy([&] { lx.GetCurrentToken_t(); }),
            "Cannot read tokens past the end of file. File: \n");
  Prepare(lx, "q");
  EXPECT_STREQ(lx.GetCurrentToken_t()->GetText(), "q");
  lx.Init();
  EXPECT_NE(ThrownBy([&] { lx.GetNextToken_t(); }), "");
}

TEST(Lexer, MarkersPositionsAndTextBetween)
{
  CTestLexer lx("alpha beta\n  gamma;\n\n  \"x\"");
  lx.GetNextToken_t();
  const long iAfterAlpha = lx.GetMarker();
  EXPECT_EQ(iAfterAlpha, 5);
  lx.GetNextToken_t();
  CToken *ptok = lx.GetNextToken_t();
  EXPECT_STREQ(ptok->GetText(), "gamma");
  EXPECT_EQ(lx.GetCurrentLine(), 2);
  EXPECT_EQ(lx.GetCurrentColumn(), 8);
  EXPECT_EQ(lx.GetStringBetweenMarkers(iAfterAlpha, lx.GetMarker()), " beta\n  gamma");
  long iLine, iColumn;
  lx.GetPosForMarker(ptok->tok_iStart, iLine, iColumn);
  EXPECT_EQ(iLine, 2);
  EXPECT_EQ(iColumn, 3);
  lx.GetPosForMarker(0, iLine, iColumn);
  EXPECT_EQ(iLine, 1);
  EXPECT_EQ(iColumn, 1);
  // Clamped to the input.
  lx.GetPosForMarker(100000, iLine, iColumn);
  EXPECT_EQ(iLine, 4);
  EXPECT_EQ(iColumn, 6);
  EXPECT_EQ(lx.GetStringBetweenMarkers(-5, 5), "alpha");
  EXPECT_EQ(lx.GetStringBetweenMarkers(21, 100000), "  \"x\"");
  EXPECT_EQ(lx.GetStringBetweenMarkers(5, 3), "");
}

TEST(Lexer, RollbackThenRereadingGivesIdenticalTokensAndLines)
{
  CQuietErrors qe;
  const std::string strSource = "first /* a\nb */ second \"s\"\n \"t\" 0x10 'c' 1.5e3 ...\n"
                                "// note\n@ third 0b102 last";
  for (int iMode = 0; iMode < 2; iMode++) {
    SCOPED_TRACE(iMode == 0 ? "without history" : "with history");
    CTestLexer lx(strSource, iMode == 1);
    std::vector<TokenView> atvFirst = ReadAll(lx);
    ASSERT_EQ(atvFirst.size(), 12u);
    const long ctErrors = lx.GetErrorCount();

    // Back to the start, to after the first token, and to the end.
    lx.Rollback(0);
    EXPECT_EQ(lx.GetCurrentLine(), 1);
    EXPECT_EQ(ReadAll(lx), atvFirst);
    lx.Rollback(atvFirst[0].iEnd);
    std::vector<TokenView> atvRest = ReadAll(lx);
    EXPECT_EQ(atvRest, std::vector<TokenView>(atvFirst.begin() + 1, atvFirst.end()));
    lx.Rollback(atvFirst[8].iEnd);
    EXPECT_EQ(lx.GetCurrentLine(), 5);
    EXPECT_EQ(Next(lx), atvFirst[9]);

    // A marker taken in the middle of reading, rolled back to twice.
    lx.Rollback(0);
    Next(lx);
    Next(lx);
    const long iMarker = lx.GetMarker();
    const long iLine = lx.GetCurrentLine();
    std::vector<TokenView> atvAfter = ReadAll(lx);
    for (int iAgain = 0; iAgain < 2; iAgain++) {
      lx.Rollback(iMarker);
      EXPECT_EQ(lx.GetCurrentLine(), iLine);
      EXPECT_EQ(ReadAll(lx), atvAfter);
    }
    // Tokens handed out from the history are not scanned again: no new errors.
    if (iMode == 1) {
      EXPECT_EQ(lx.GetErrorCount(), ctErrors);
    }

    // After a commit, a rollback before it scans again and still agrees.
    lx.Rollback(iMarker);
    Next(lx);
    lx.Commit();
    lx.Rollback(0);
    EXPECT_EQ(ReadAll(lx), atvFirst);
  }
}

TEST(Lexer, HistoryKeepsTokensUntilCommit)
{
  CTestLexer lx("a b c d", true);
  EXPECT_EQ(lx.GetLexerMode(), LM_HISTORY);
  CToken *ptokA = lx.GetNextToken_t();
  CToken *ptokB = lx.GetNextToken_t();
  EXPECT_NE(ptokA, ptokB);
  EXPECT_EQ(lx.GetCurrentToken_t(), ptokB);
  const long iMarker = lx.GetMarker();
  CToken *ptokC = lx.GetNextToken_t();
  lx.Rollback(iMarker);
  // The kept token comes back itself; the current one is the one before the marker.
  EXPECT_EQ(lx.GetCurrentToken_t(), ptokB);
  EXPECT_EQ(lx.GetNextToken_t(), ptokC);
  EXPECT_STREQ(ptokA->GetText(), "a");
  lx.Commit();
  EXPECT_EQ(lx.GetCurrentToken_t(), ptokC);
  EXPECT_STREQ(ptokC->GetText(), "c");
  EXPECT_STREQ(lx.GetNextToken_t()->GetText(), "d");

  // Leaving history mode keeps the current token's content in the single token.
  lx.SetLexerMode(LM_NO_HISTORY);
  EXPECT_EQ(lx.GetLexerMode(), LM_NO_HISTORY);
  EXPECT_STREQ(lx.GetCurrentToken_t()->GetText(), "d");
  CToken *ptokSingle = lx.GetNextToken_t();
  EXPECT_EQ(ptokSingle->tok_iID, TID_EOF);
  lx.Rollback(0);
  EXPECT_EQ(lx.GetNextToken_t(), ptokSingle);
  EXPECT_STREQ(ptokSingle->GetText(), "a");
  // And entering it again starts the history at the current token.
  lx.SetLexerMode(LM_HISTORY);
  EXPECT_STREQ(lx.GetCurrentToken_t()->GetText(), "a");
  lx.GetNextToken_t();
  lx.Rollback(0);
  EXPECT_STREQ(lx.GetNextToken_t()->GetText(), "a");
  EXPECT_STREQ(lx.GetNextToken_t()->GetText(), "b");
}

TEST(Lexer, TraceNamesEveryToken)
{
  CQuietErrors qe;
  CTestLexer lx("0x1F abc\n// c\n/* d */ << 'q' \"s\" 2.5 if @");
  lx.EnableTrace();
  EXPECT_TRUE(lx.IsTraceEnabled());
  CConsoleLines cl;
  ReadAll(lx);
  lx.DisableTrace();
  const std::string strText = cl.Text();
  const char *astrLines[] = {"1: TID_CONST_INT(hex) 31\n",
                             "1: TID_IDENTIFIER abc\n",
                             "2: COMMENT: single line\n",
                             "3: COMMENT: multi line\n",
                             "3: OPERATOR OP_SHL <<\n",
                             "3: TID_CONST_CHAR 113\n",
                             "3: TID_CONST_STRING \"s\"\n",
                             "3: TID_CONST_FLOAT 2.5",
                             "3: KEYWORD ? if\n",
                             "3: TID_INVALID '@'\n",
                             "3: TID_EOF\n"};
  for (const char *str : astrLines) EXPECT_NE(strText.find(str), std::string::npos) << str;
  // Off: nothing more.
  CConsoleLines clOff;
  lx.Rollback(0);
  ReadAll(lx);
  EXPECT_EQ(clOff.Text(), "");
}

TEST(Lexer, RandomInputStaysInsideTheInputAndRereadsAlike)
{
  CQuietErrors qe;
  const char achAlphabet[] = "\"'\\/*\n\r\t 0x.eE9b_aZ;<-+u@";
  unsigned long ulSeed = 12345;
  for (int iCase = 0; iCase < 300; iCase++) {
    std::string str;
    const int ctLength = 1 + iCase % 40;
    for (int i = 0; i < ctLength; i++) {
      ulSeed = ulSeed * 1103515245u + 12345u;
      str += achAlphabet[(ulSeed >> 16) % (sizeof(achAlphabet) - 1)];
    }
    SCOPED_TRACE(str);
    CTestLexer lx(str, iCase % 2 == 1);
    std::vector<TokenView> atv = ReadAll(lx);
    ASSERT_EQ(atv.back().iID, TID_EOF);
    ASSERT_LE(atv.size(), str.size() + 1);
    long iPrevEnd = 0, iPrevLine = 1;
    for (const TokenView &tv : atv) {
      EXPECT_GE(tv.iStart, iPrevEnd);
      EXPECT_GE(tv.iEnd, tv.iStart);
      EXPECT_LE(tv.iEnd, (long)str.size());
      EXPECT_GE(tv.iLine, iPrevLine);
      EXPECT_LE(tv.strText.size(), 1023u);
      iPrevEnd = tv.iEnd;
      iPrevLine = tv.iLine;
    }
    const size_t iMiddle = atv.size() / 2;
    lx.Rollback(atv[iMiddle].iStart);
    EXPECT_EQ(ReadAll(lx), std::vector<TokenView>(atv.begin() + (long)iMiddle, atv.end()));
    if (HasFailure()) break;
  }
}

TEST(Lexer, BlankRunsCountLinesAndEndAtTheInputsEnd)
{
  const std::string strBlanks(5000, ' ');
  const std::string strSource = "\t \n\t\n" + strBlanks + "x \n\n\t" + strBlanks + "\n";
  CTestLexer lx(strSource);
  TokenView tv = Next(lx);
  EXPECT_EQ(tv.strText, "x");
  EXPECT_EQ(tv.iLine, 3);
  EXPECT_EQ(tv.iStart, 5 + 5000);
  tv = Next(lx);
  EXPECT_EQ(tv.iID, TID_EOF);
  EXPECT_EQ(tv.iLine, 6);
  EXPECT_EQ(tv.iStart, (long)strSource.size());
  EXPECT_EQ(lx.GetMarker(), (long)strSource.size());

  // In line mode every line feed of the run is a token on its own line.
  lx.SetLexerMode(LM_LINE_MODE_ON);
  lx.Rollback(0);
  std::vector<TokenView> atv = ReadAll(lx);
  EXPECT_EQ(IDs(atv), (std::vector<long>{TID_EOL, TID_EOL, TID_IDENTIFIER, TID_EOL, TID_EOL,
                                         TID_EOL, TID_EOF}));
  const long aiLines[] = {1, 2, 3, 3, 4, 5, 6};
  for (size_t i = 0; i < atv.size(); i++) EXPECT_EQ(atv[i].iLine, aiLines[i]) << i;

  // Blanks alone are the end, on the last line.
  CTestLexer lxBlank(" \t\n ");
  tv = Next(lxBlank);
  EXPECT_EQ(tv.iID, TID_EOF);
  EXPECT_EQ(tv.iStart, 4);
  EXPECT_EQ(tv.iLine, 2);
}

TEST(Lexer, KeywordsAreFoundWhereverTheIdentifierEnds)
{
  CQuietErrors qe;
  // At the end of the input, before an operator, as a prefix and with a prefix.
  CTestLexer lx("while;whil whiles if\tIF xif if");
  EXPECT_EQ(IDs(ReadAll(lx)),
            (std::vector<long>{KW_WHILE, OP_SEMICOLON, TID_IDENTIFIER, TID_IDENTIFIER, KW_IF,
                               TID_IDENTIFIER, TID_IDENTIFIER, KW_IF, TID_EOF}));
  // An identifier cut to the longest text is looked up as cut.
  CTestLexer lxLong(std::string(1500, 'w') + " while");
  std::vector<TokenView> atv = ReadAll(lxLong);
  EXPECT_EQ(IDs(atv), (std::vector<long>{TID_IDENTIFIER, KW_WHILE, TID_EOF}));
  EXPECT_EQ(atv[0].strText.size(), 1023u);
}

TEST(Lexer, ReusedTokensTakeEveryTextLengthWhole)
{
  CQuietErrors qe;
  // Texts that grow past the first room a token gets, shrink and grow again, of every kind.
  const std::string strA30(30, 'a'), strB31(31, 'b'), strC32(32, 'c'), strS200(200, 's');
  const std::string strSource = strA30 + " + " + strB31 + " " + strC32 + " ; \"" + strS200 +
                                "\" 'q' 12345678901234567890123456789012345.5 if " + strC32 +
                                " -> x";
  const std::vector<std::string> astrTexts = {
      strA30, "+",    strB31, strC32, ";", strS200, "q", "12345678901234567890123456789012345.5",
      "if",   strC32, "->",   "x",    ""};
  CTestLexer lx(strSource);
  std::vector<TokenView> atvSingle = ReadAll(lx);
  ASSERT_EQ(atvSingle.size(), astrTexts.size());
  for (size_t i = 0; i < astrTexts.size(); i++) EXPECT_EQ(atvSingle[i].strText, astrTexts[i]);

  // With history, committed after every token and every third one: the spare tokens come back
  // with their old texts' rooms and must give the same readings.
  for (int iEvery = 1; iEvery <= 3; iEvery += 2) {
    SCOPED_TRACE(iEvery);
    CTestLexer lxHistory(strSource, true);
    for (int iPass = 0; iPass < 3; iPass++) {
      lxHistory.Rollback(0);
      std::vector<TokenView> atv;
      do {
        atv.push_back(Next(lxHistory));
        if (atv.size() % iEvery == 0) lxHistory.Commit();
      } while (atv.back().iID != TID_EOF);
      EXPECT_EQ(atv, atvSingle);
    }
  }
}

TEST(Lexer, CommitKeepsTheCurrentTokenAndFreesTheRest)
{
  std::string strSource;
  for (int i = 0; i < 3000; i++) strSource += "t" + std::to_string(i) + (i % 7 == 6 ? ";\n" : " ");
  CTestLexer lxPlain(strSource);
  const std::vector<TokenView> atvPlain = ReadAll(lxPlain);

  CTestLexer lx(strSource, true);
  std::vector<TokenView> atv;
  std::vector<CToken *> aptokKept;
  for (;;) {
    atv.push_back(Next(lx));
    if (atv.back().iID == TID_EOF) break;
    if (atv.back().iID != OP_SEMICOLON) continue;
    CToken *ptok = lx.GetCurrentToken_t();
    lx.Commit();
    // The current token lives on, and a rollback to its start hands it out again.
    EXPECT_EQ(lx.GetCurrentToken_t(), ptok);
    if (aptokKept.size() < 3) {
      const long iMarker = lx.GetMarker();
      lx.Rollback(ptok->tok_iStart);
      EXPECT_EQ(lx.GetNextToken_t(), ptok);
      EXPECT_EQ(lx.GetMarker(), iMarker);
      aptokKept.push_back(ptok);
    }
  }
  EXPECT_EQ(atv, atvPlain);

  // A commit right after a rollback to the start (no current token) empties the history; then
  // reading goes on from the start, scanned anew.
  lx.Rollback(0);
  lx.Commit();
  EXPECT_EQ(ReadAll(lx), atvPlain);
}
