#pragma once
// General matrices and vectors of any size, for the solvers (physics constraints, fitting): a
// CMatrix is rows x columns floats stored row by row, a CVector a run of floats. Both own their
// elements (allocated through memMAlloc), copy deeply and start zeroed.
//
// The functions write their result into the first argument, resized to fit, and may take it as
// an operand too (mthMultiply(m, m, m) squares m). Sizes that do not fit together, and blocks or
// rows that reach past the matrix, are guard breaches: the function returns 0 (or a zero value)
// and changes nothing.
#include "core/math/Quaternion.h"

namespace QuennelEngine {

class CORE_API CVector {
public:
  CVector() : vc_ctSize(0), vc_pfElements(nullptr) {}
  // `ctSize` zeros.
  explicit CVector(long ctSize);
  CVector(const CVector &v);
  CVector(CVector &&v) noexcept : CVector() { Swap(v); }
  ~CVector() { Clear(); }
  CVector &operator=(const CVector &v);
  CVector &operator=(CVector &&v) noexcept
  {
    Swap(v);
    return *this;
  }
  void Swap(CVector &v) noexcept;

  // Replaces the elements by `ctSize` zeros (none for 0; a negative size is a guard breach).
  void New(long ctSize);
  void Clear(void);
  // Every element becomes `f`.
  void Fill(float f);
  long Count(void) const { return vc_ctSize; }
  // Element access, unchecked like the other containers'; the elements lie in a row.
  float &operator[](long i) { return vc_pfElements[i]; }
  float operator[](long i) const { return vc_pfElements[i]; }
  float *GetData(void) { return vc_pfElements; }
  const float *GetData(void) const { return vc_pfElements; }

private:
  long vc_ctSize;
  float *vc_pfElements;
};

class CORE_API CMatrix {
public:
  CMatrix() : mx_ctRows(0), mx_ctColumns(0), mx_pfElements(nullptr) {}
  // `ctRows` x `ctColumns` zeros.
  CMatrix(long ctRows, long ctColumns);
  CMatrix(const CMatrix &m);
  CMatrix(CMatrix &&m) noexcept : CMatrix() { Swap(m); }
  ~CMatrix() { Clear(); }
  CMatrix &operator=(const CMatrix &m);
  CMatrix &operator=(CMatrix &&m) noexcept
  {
    Swap(m);
    return *this;
  }
  void Swap(CMatrix &m) noexcept;

  // Replaces the elements by zeros of the new size (empty when either is 0; a negative size is a
  // guard breach).
  void New(long ctRows, long ctColumns);
  void Clear(void);
  void Fill(float f);
  // The identity of the current size (ones on the diagonal, zeros elsewhere).
  void SetIdentity(void);
  long Rows(void) const { return mx_ctRows; }
  long Columns(void) const { return mx_ctColumns; }
  // Element access, unchecked like the other containers'.
  float &operator()(long iRow, long iColumn)
  {
    return mx_pfElements[iRow * mx_ctColumns + iColumn];
  }
  float operator()(long iRow, long iColumn) const
  {
    return mx_pfElements[iRow * mx_ctColumns + iColumn];
  }
  // The first element of a row; the row's elements follow it.
  float *GetRow(long iRow) { return mx_pfElements + iRow * mx_ctColumns; }
  const float *GetRow(long iRow) const { return mx_pfElements + iRow * mx_ctColumns; }

private:
  long mx_ctRows;
  long mx_ctColumns;
  float *mx_pfElements;
};

// ---- Arithmetic (1, or 0 with a guard breach when the sizes do not fit) ----

// mResult = mA + mB, vResult = vA + vB.
CORE_API int mthAdd(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB);
CORE_API int mthAdd(CVector &vResult, const CVector &vA, const CVector &vB);
// mResult = mA - mB, vResult = vA - vB.
CORE_API int mthSub(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB);
CORE_API int mthSub(CVector &vResult, const CVector &vA, const CVector &vB);
// mResult = mA mB, vResult = mA v.
CORE_API int mthMultiply(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB);
CORE_API int mthMultiply(CVector &vResult, const CMatrix &mA, const CVector &v);
// mResult += mA mB, vResult += mA v (the result keeps its size, which must fit).
CORE_API int mthMultiplyAdd(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB);
CORE_API int mthMultiplyAdd(CVector &vResult, const CMatrix &mA, const CVector &v);
// mResult = mA^T mB, vResult = mA^T v: the products of the normal equations (J^T J, J^T r).
CORE_API int mthMultiplyTranspose(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB);
CORE_API int mthMultiplyTranspose(CVector &vResult, const CMatrix &mA, const CVector &v);

// ---- Solving ----

// The lower triangular mL with mA = mL mL^T (zeros above the diagonal) for a symmetric positive
// definite mA, of which only the lower triangle is read. Returns 0 and leaves mL alone when mA is
// not positive definite (a pivot not above 0, or not finite); a matrix that is not square is a
// guard breach.
CORE_API int mthCholeskyFactorize(CMatrix &mL, const CMatrix &mA);
// The solution vX of mL mL^T x = vB for a factor from mthCholeskyFactorize; 0 (vX unchanged) when
// a diagonal element is not above 0, a guard breach when the sizes do not fit.
CORE_API int mthCholeskySolve(CVector &vX, const CMatrix &mL, const CVector &vB);

// ---- Checks ----

// Whether the matrices have one size and differ by at most fTolerance in every element.
CORE_API int mthIsNearMatrix(const CMatrix &mA, const CMatrix &mB, float fTolerance);
// Whether mB differs by at most fTolerance from the block of mA that starts at (iRow, iColumn);
// a block reaching past mA is a guard breach and gives 0.
CORE_API int mthIsNearMatrixBlock(const CMatrix &mA, const CMatrix &mB, long iRow, long iColumn,
                                  float fTolerance);
// Whether every element is finite (neither infinite nor NaN).
CORE_API int mthCheckFinite(const CMatrix &m);
CORE_API int mthCheckFinite(const CVector &v);

// ---- Blocks and rows (a block reaching past the matrix is a guard breach) ----

// The 3 x 3 block starting at (iRow, iColumn); all zeros when it does not fit.
CORE_API Matrix33f mthGetSubMatrixM33(const CMatrix &m, long iRow, long iColumn);
// Writes the 3 x 3 block, or the whole of mBlock, starting at (iRow, iColumn).
CORE_API void mthSetSubMatrix(CMatrix &m, long iRow, long iColumn, const Matrix33f &m33);
CORE_API void mthSetSubMatrix(CMatrix &m, long iRow, long iColumn, const CMatrix &mBlock);
// The three elements of row iRow from column iColumn on; zero when they do not fit. Set writes
// them and Add adds to them; both are guard breaches when they do not fit.
CORE_API Vector3f mthGetRowV3f(const CMatrix &m, long iRow, long iColumn);
CORE_API void mthSetRowV3f(CMatrix &m, long iRow, long iColumn, const Vector3f &v3);
CORE_API void mthAddRowV3f(CMatrix &m, long iRow, long iColumn, const Vector3f &v3);
// The elements i, i + 1, i + 2 of the vector; zero when they do not fit. Set writes them and Add
// adds to them; both are guard breaches when they do not fit.
CORE_API Vector3f mthGetV3f(const CVector &v, long i);
CORE_API void mthSetV3f(CVector &v, long i, const Vector3f &v3);
CORE_API void mthAddV3f(CVector &v, long i, const Vector3f &v3);
// Copies ct elements of vSource from iSource on into vDest from iDest on.
CORE_API void mthCopySubVector(CVector &vDest, long iDest, const CVector &vSource, long iSource,
                               long ct);
// Writes the transpose of the ctRows x ctColumns block of mSource at (iSourceRow,
// iSourceColumn) into mDest at (iDestRow, iDestColumn), where it is ctColumns x ctRows. The two
// may be one matrix when the blocks do not overlap.
CORE_API void mthCopyAndTransposeMatrixBlock(CMatrix &mDest, long iDestRow, long iDestColumn,
                                             const CMatrix &mSource, long iSourceRow,
                                             long iSourceColumn, long ctRows, long ctColumns);
// Adds the 3 x 3 block to a symmetric system matrix at (iRow, iColumn) and, off the diagonal,
// its transpose at (iColumn, iRow), so that the matrix stays symmetric.
CORE_API void mthAddSystemMatrixBlock(CMatrix &m, long iRow, long iColumn, const Matrix33f &m33);
// A placement stored in a row as seven elements from iColumn on: the quaternion's x, y, z, w,
// then the translation's x, y, z. The identity placement when they do not fit.
CORE_API QuatVect mthGetQuatVectFromMatrixRow(const CMatrix &m, long iRow, long iColumn);
// Writes the placement in that form; a guard breach when the seven elements do not fit.
CORE_API void mthSetQuatVectToMatrixRow(CMatrix &m, long iRow, long iColumn, const QuatVect &qv);

// ---- Files ----

// Writes the matrix as text through the library's streams: a line "rows columns", then a line per
// row of its elements separated by spaces, printed with enough digits to read back exactly.
// Returns 1, or 0 when the file cannot be written (nothing is thrown).
CORE_API int mthSaveMatrixToFile(const CMatrix &m, const char *strFileName);

} // namespace QuennelEngine
