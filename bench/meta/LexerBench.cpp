// The lexer on generated C-like source (about 1 MB: functions with declarations, expressions,
// calls, string and character constants, numbers of every base and comments), with a C operator
// table and keyword table. Tokens per second without history, and with history committed after
// every statement as a parser would; against a minimal hand-written scanner over the same text
// (identifiers, numbers, strings, comments skipped, one- or two-character operators by a switch),
// the least any tokenizer of this text does.
#include "BenchSupport.h"
#include "core/Core.h"

#include <stdio.h>

#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Bench;

namespace {

const COperatorToken _aotC[] = {
    {"+", 1},   {"-", 2},    {"*", 3},    {"/", 4},   {"%", 5},   {"=", 6},    {"==", 7},
    {"!=", 8},  {"<", 9},    {">", 10},   {"<=", 11}, {">=", 12}, {"&&", 13},  {"||", 14},
    {"!", 15},  {"&", 16},   {"|", 17},   {"^", 18},  {"~", 19},  {"<<", 20},  {">>", 21},
    {"+=", 22}, {"-=", 23},  {"*=", 24},  {"/=", 25}, {"%=", 26}, {"&=", 27},  {"|=", 28},
    {"^=", 29}, {"<<=", 30}, {">>=", 31}, {"++", 32}, {"--", 33}, {"->", 34},  {".", 35},
    {"?", 36},  {":", 37},   {"::", 38},  {",", 39},  {";", 40},  {"(", 41},   {")", 42},
    {"[", 43},  {"]", 44},   {"{", 45},   {"}", 46},  {"#", 47},  {"...", 48}, {nullptr, 0},
};

const CKeywordToken _aktC[] = {
    {"if", 100},     {"else", 101},     {"while", 102},    {"for", 103},     {"return", 104},
    {"int", 105},    {"float", 106},    {"char", 107},     {"void", 108},    {"struct", 109},
    {"const", 110},  {"static", 111},   {"unsigned", 112}, {"long", 113},    {"double", 114},
    {"break", 115},  {"continue", 116}, {"switch", 117},   {"case", 118},    {"default", 119},
    {"sizeof", 120}, {"do", 121},       {"enum", 122},     {"typedef", 123}, {nullptr, 0},
};

unsigned long _ulSeed = 1;
unsigned long Random(unsigned long ulRange)
{
  _ulSeed = _ulSeed * 1103515245u + 12345u;
  return (_ulSeed >> 16) % ulRange;
}

std::string Name(void)
{
  static const char *astrParts[] = {"count", "index", "value", "node", "next", "total",
                                    "pos",   "size",  "item",  "buf",  "len",  "flags"};
  std::string str = astrParts[Random(12)];
  if (Random(2)) str += std::string("_") + astrParts[Random(12)];
  if (Random(3) == 0) str += std::to_string(Random(100));
  return str;
}

std::string Operand(void)
{
  switch (Random(8)) {
  case 0:
    return std::to_string(Random(100000));
  case 1:
    return "0x" + std::to_string(Random(9000) + 1000) + "u";
  case 2:
    return std::to_string(Random(1000)) + "." + std::to_string(Random(100)) + "f";
  case 3:
    return "'" + std::string(1, (char)('a' + Random(26))) + "'";
  case 4:
    return Name() + "[" + Name() + "]";
  case 5:
    return Name() + "->" + Name();
  default:
    return Name();
  }
}

std::string Statement(void)
{
  static const char *astrOps[] = {"+", "-", "*", "/", "<<", "&", "|", "==", "<=", "&&"};
  static const char *astrAssign[] = {"=", "+=", "-=", "|=", "<<="};
  switch (Random(6)) {
  case 0:
    return "    int " + Name() + " = " + Operand() + ";\n";
  case 1:
    return "    if (" + Operand() + " " + astrOps[Random(10)] + " " + Operand() + ") {\n      " +
           Name() + "++;\n    }\n";
  case 2:
    return "    " + Name() + "(" + Operand() + ", \"text " + Name() + "\\n\", " + Operand() +
           ");\n";
  case 3:
    return "    // " + Name() + " " + Name() + " " + Name() + "\n";
  default:
    return "    " + Name() + " " + astrAssign[Random(5)] + " " + Operand() + " " +
           astrOps[Random(10)] + " " + Operand() + ";\n";
  }
}

std::string GenerateSource(size_t ctBytes)
{
  std::string str;
  while (str.size() < ctBytes) {
    str += "/* The function " + Name() + ": generated. */\nstatic int " + Name() + "(const char *" +
           Name() + ", unsigned long " + Name() + ")\n{\n";
    const unsigned long ctStatements = 5 + Random(20);
    for (unsigned long i = 0; i < ctStatements; i++) str += Statement();
    str += "    return " + Operand() + ";\n}\n\n";
  }
  return str;
}

// The reference: the least a scanner of this text does per token, no tables.
inline bool IsIdentStart(char c)
{
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || c == '_';
}
inline bool IsIdentChar(char c)
{
  return IsIdentStart(c) || (c >= '0' && c <= '9');
}

long MinimalScan(const char *pch)
{
  long ctTokens = 0;
  for (;;) {
    const char c = *pch;
    if (c == 0) return ctTokens + 1;
    if (c == ' ' || c == '\t' || c == '\n') {
      pch++;
      continue;
    }
    if (c == '/' && pch[1] == '/') {
      while (*pch != 0 && *pch != '\n') pch++;
      continue;
    }
    if (c == '/' && pch[1] == '*') {
      pch += 2;
      while (*pch != 0 && !(pch[0] == '*' && pch[1] == '/')) pch++;
      if (*pch != 0) pch += 2;
      continue;
    }
    ctTokens++;
    if (IsIdentStart(c)) {
      while (IsIdentChar(*pch)) pch++;
    } else if (c >= '0' && c <= '9') {
      while (IsIdentChar(*pch) || *pch == '.') pch++;
    } else if (c == '"' || c == '\'') {
      pch++;
      while (*pch != 0 && *pch != c) pch += (*pch == '\\' && pch[1] != 0) ? 2 : 1;
      if (*pch != 0) pch++;
    } else {
      const char c1 = pch[1];
      pch += (c1 == '=' ||
              (c1 == c && (c == '+' || c == '-' || c == '<' || c == '>' || c == '&' || c == '|')) ||
              (c == '-' && c1 == '>'))
                 ? 2
                 : 1;
    }
  }
}

} // namespace

int main()
{
  const std::string strSource = GenerateSource(1 << 20);
  CStream strm;
  strm.CreateMemoryStream_t(strSource.data(), (long)strSource.size());

  CLexer lx;
  lx.SetOperatorTable(_aotC, nullptr);
  lx.SetKeywordTable(_aktC, nullptr);
  double dStart = Now();
  lx.PrepareInput_t(strm);
  const double dPrepare = Now() - dStart;

  long ctTokens = 0;
  auto fnOurs = [&]() {
    lx.Rollback(0);
    long ct = 0;
    double dStart = Now();
    while (lx.GetNextToken_t()->tok_iID != TID_EOF) ct++;
    double dSeconds = Now() - dStart;
    ctTokens = ct + 1;
    return dSeconds * 1e9 / (double)ctTokens;
  };
  long ctReference = 0;
  auto fnReference = [&]() {
    double dStart = Now();
    ctReference = MinimalScan(strSource.c_str());
    return (Now() - dStart) * 1e9 / (double)ctReference;
  };
  fnOurs();
  fnReference();
  if (lx.GetErrorCount() != 0)
    printf("The generated source gave %ld errors!\n", lx.GetErrorCount());
  printf("Source: %ld bytes, %ld tokens (the minimal scanner counts %ld); prepared in %.2f ms\n",
         (long)strSource.size(), ctTokens, ctReference, dPrepare * 1e3);

  Comparison c = Interleave(ctDefaultRounds, fnOurs, fnReference);
  Report("CLexer, no history (ns per token)", c, "minimal scanner");
  printf("%-44s %9.2f million tokens per second [%4.2f-%4.2f]\n", "CLexer, no history",
         1e3 / c.sOurs.dMedian, 1e3 / c.sOurs.dHigh, 1e3 / c.sOurs.dLow);

  // A parser's use: history on, committed at every ";" (statement ends).
  lx.SetLexerMode(LM_HISTORY);
  auto fnHistory = [&]() {
    lx.Rollback(0);
    long ct = 0;
    double dStart = Now();
    for (;;) {
      CToken *ptok = lx.GetNextToken_t();
      ct++;
      if (ptok->tok_iID == TID_EOF) break;
      if (ptok->tok_iID == 40) lx.Commit();
    }
    return (Now() - dStart) * 1e9 / (double)ct;
  };
  fnHistory();
  c = Interleave(ctDefaultRounds, fnHistory, fnReference);
  Report("CLexer, history with commits (ns per token)", c, "minimal scanner");
  printf("%-44s %9.2f million tokens per second [%4.2f-%4.2f]\n", "CLexer, history with commits",
         1e3 / c.sOurs.dMedian, 1e3 / c.sOurs.dHigh, 1e3 / c.sOurs.dLow);
  return 0;
}
