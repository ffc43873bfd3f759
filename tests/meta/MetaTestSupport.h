#pragma once
// Helpers of the metadata tests.
#include "TestSupport.h"

#include <string>

namespace QuennelEngine {
namespace Test {

// The console lines printed while it lives, oldest first, each ended by a newline.
class CConsoleLines {
public:
  CConsoleLines() : cl_ctStart(conGetTotalLinesCount()) {}
  std::string Text() const
  {
    std::string str;
    const long ctNew = conGetTotalLinesCount() - cl_ctStart;
    for (long i = ctNew - 1; i >= 0; i--) {
      long iType;
      CString strLine;
      conGetLine(i, iType, strLine);
      str += (const char *)strLine;
      str += '\n';
    }
    return str;
  }
  bool Has(const std::string &strText) const { return Text().find(strText) != std::string::npos; }

private:
  long cl_ctStart;
};

} // namespace Test
} // namespace QuennelEngine
