// General matrices and vectors. Products are computed into a fresh object and swapped into the
// result, so a result may also be an operand. Cholesky sums in double: the factor of a
// moderately conditioned system keeps float accuracy that way.
#include "core/math/GeneralMatrix.h"

#include "core/frame/CodeGuard.h"
#include "core/frame/Exception.h"
#include "core/memory/Memory.h"
#include "core/streams/Stream.h"

#include <math.h>
#include <stdio.h>
#include <string.h>
#include <utility>

namespace QuennelEngine {

namespace {

float *NewZeros(long ct)
{
  if (ct <= 0) return nullptr;
  float *pf = (float *)memMAlloc(memElementBytes(ct, sizeof(float)));
  memset(pf, 0, (size_t)ct * sizeof(float));
  return pf;
}

float *NewCopy(const float *pfSource, long ct)
{
  if (ct <= 0) return nullptr;
  float *pf = (float *)memMAlloc(memElementBytes(ct, sizeof(float)));
  memcpy(pf, pfSource, (size_t)ct * sizeof(float));
  return pf;
}

// Whether the block of ctRows x ctColumns at (iRow, iColumn) lies in the matrix; a guard breach
// when it does not.
bool BlockFits(const CMatrix &m, long iRow, long iColumn, long ctRows, long ctColumns)
{
  if (iRow >= 0 && iColumn >= 0 && ctRows >= 0 && ctColumns >= 0 && iRow <= m.Rows() - ctRows &&
      iColumn <= m.Columns() - ctColumns) {
    return true;
  }
  corLogGuardBreach();
  return false;
}

bool RangeFits(const CVector &v, long i, long ct)
{
  if (i >= 0 && ct >= 0 && i <= v.Count() - ct) return true;
  corLogGuardBreach();
  return false;
}

bool SameSize(const CMatrix &mA, const CMatrix &mB)
{
  if (mA.Rows() == mB.Rows() && mA.Columns() == mB.Columns()) return true;
  corLogGuardBreach();
  return false;
}

bool SameSize(const CVector &vA, const CVector &vB)
{
  if (vA.Count() == vB.Count()) return true;
  corLogGuardBreach();
  return false;
}

// mResult = mA + fSign mB, element by element.
int AddScaled(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB, float fSign)
{
  if (!SameSize(mA, mB)) return 0;
  CMatrix m(mA.Rows(), mA.Columns());
  for (long i = 0; i < mA.Rows(); i++) {
    const float *pfA = mA.GetRow(i), *pfB = mB.GetRow(i);
    float *pf = m.GetRow(i);
    for (long j = 0; j < mA.Columns(); j++) pf[j] = pfA[j] + fSign * pfB[j];
  }
  mResult.Swap(m);
  return 1;
}

int AddScaled(CVector &vResult, const CVector &vA, const CVector &vB, float fSign)
{
  if (!SameSize(vA, vB)) return 0;
  CVector v(vA.Count());
  for (long i = 0; i < vA.Count(); i++) v[i] = vA[i] + fSign * vB[i];
  vResult.Swap(v);
  return 1;
}

// m += mA mB into a matrix of the right size.
void AccumulateProduct(CMatrix &m, const CMatrix &mA, const CMatrix &mB)
{
  // Row of A times B row by row: the inner loop runs along rows of B and of the result.
  for (long i = 0; i < mA.Rows(); i++) {
    float *pf = m.GetRow(i);
    const float *pfA = mA.GetRow(i);
    for (long k = 0; k < mA.Columns(); k++) {
      const float fA = pfA[k];
      const float *pfB = mB.GetRow(k);
      for (long j = 0; j < mB.Columns(); j++) pf[j] += fA * pfB[j];
    }
  }
}

void AccumulateProduct(CVector &v, const CMatrix &mA, const CVector &vB)
{
  for (long i = 0; i < mA.Rows(); i++) {
    const float *pfA = mA.GetRow(i);
    float fSum = 0;
    for (long k = 0; k < mA.Columns(); k++) fSum += pfA[k] * vB[k];
    v[i] += fSum;
  }
}

} // namespace

// ---- CVector ----

CVector::CVector(long ctSize) : CVector()
{
  New(ctSize);
}

CVector::CVector(const CVector &v) : CVector()
{
  *this = v;
}

CVector &CVector::operator=(const CVector &v)
{
  if (this == &v) return *this;
  float *pf = NewCopy(v.vc_pfElements, v.vc_ctSize);
  Clear();
  vc_pfElements = pf;
  vc_ctSize = v.vc_ctSize;
  return *this;
}

void CVector::Swap(CVector &v) noexcept
{
  std::swap(vc_ctSize, v.vc_ctSize);
  std::swap(vc_pfElements, v.vc_pfElements);
}

void CVector::New(long ctSize)
{
  if (ctSize < 0) {
    corLogGuardBreach();
    return;
  }
  Clear();
  vc_pfElements = NewZeros(ctSize);
  vc_ctSize = ctSize;
}

void CVector::Clear(void)
{
  memFree(vc_pfElements);
  vc_pfElements = nullptr;
  vc_ctSize = 0;
}

void CVector::Fill(float f)
{
  for (long i = 0; i < vc_ctSize; i++) vc_pfElements[i] = f;
}

// ---- CMatrix ----

CMatrix::CMatrix(long ctRows, long ctColumns) : CMatrix()
{
  New(ctRows, ctColumns);
}

CMatrix::CMatrix(const CMatrix &m) : CMatrix()
{
  *this = m;
}

CMatrix &CMatrix::operator=(const CMatrix &m)
{
  if (this == &m) return *this;
  float *pf = NewCopy(m.mx_pfElements, m.mx_ctRows * m.mx_ctColumns);
  Clear();
  mx_pfElements = pf;
  mx_ctRows = m.mx_ctRows;
  mx_ctColumns = m.mx_ctColumns;
  return *this;
}

void CMatrix::Swap(CMatrix &m) noexcept
{
  std::swap(mx_ctRows, m.mx_ctRows);
  std::swap(mx_ctColumns, m.mx_ctColumns);
  std::swap(mx_pfElements, m.mx_pfElements);
}

void CMatrix::New(long ctRows, long ctColumns)
{
  // The element count must fit a long as well as the heap.
  if (ctRows < 0 || ctColumns < 0 || (ctColumns > 0 && ctRows > 0x7FFFFFFF / ctColumns)) {
    corLogGuardBreach();
    return;
  }
  Clear();
  if (ctRows == 0 || ctColumns == 0) return;
  mx_pfElements = NewZeros(ctRows * ctColumns);
  mx_ctRows = ctRows;
  mx_ctColumns = ctColumns;
}

void CMatrix::Clear(void)
{
  memFree(mx_pfElements);
  mx_pfElements = nullptr;
  mx_ctRows = 0;
  mx_ctColumns = 0;
}

void CMatrix::Fill(float f)
{
  for (long i = 0; i < mx_ctRows * mx_ctColumns; i++) mx_pfElements[i] = f;
}

void CMatrix::SetIdentity(void)
{
  Fill(0);
  for (long i = 0; i < mx_ctRows && i < mx_ctColumns; i++) (*this)(i, i) = 1;
}

// ---- Arithmetic ----

int mthAdd(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB)
{
  return AddScaled(mResult, mA, mB, 1);
}

int mthAdd(CVector &vResult, const CVector &vA, const CVector &vB)
{
  return AddScaled(vResult, vA, vB, 1);
}

int mthSub(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB)
{
  return AddScaled(mResult, mA, mB, -1);
}

int mthSub(CVector &vResult, const CVector &vA, const CVector &vB)
{
  return AddScaled(vResult, vA, vB, -1);
}

int mthMultiply(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB)
{
  if (mA.Columns() != mB.Rows()) {
    corLogGuardBreach();
    return 0;
  }
  CMatrix m(mA.Rows(), mB.Columns());
  AccumulateProduct(m, mA, mB);
  mResult.Swap(m);
  return 1;
}

int mthMultiply(CVector &vResult, const CMatrix &mA, const CVector &v)
{
  if (mA.Columns() != v.Count()) {
    corLogGuardBreach();
    return 0;
  }
  CVector vNew(mA.Rows());
  AccumulateProduct(vNew, mA, v);
  vResult.Swap(vNew);
  return 1;
}

int mthMultiplyAdd(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB)
{
  if (mA.Columns() != mB.Rows() || mResult.Rows() != mA.Rows() ||
      mResult.Columns() != mB.Columns()) {
    corLogGuardBreach();
    return 0;
  }
  CMatrix m(mResult);
  AccumulateProduct(m, mA, mB);
  mResult.Swap(m);
  return 1;
}

int mthMultiplyAdd(CVector &vResult, const CMatrix &mA, const CVector &v)
{
  if (mA.Columns() != v.Count() || vResult.Count() != mA.Rows()) {
    corLogGuardBreach();
    return 0;
  }
  CVector vNew(vResult);
  AccumulateProduct(vNew, mA, v);
  vResult.Swap(vNew);
  return 1;
}

int mthMultiplyTranspose(CMatrix &mResult, const CMatrix &mA, const CMatrix &mB)
{
  if (mA.Rows() != mB.Rows()) {
    corLogGuardBreach();
    return 0;
  }
  // Sum over the shared rows k of (row k of A)^T (row k of B): every access runs along rows.
  CMatrix m(mA.Columns(), mB.Columns());
  for (long k = 0; k < mA.Rows(); k++) {
    const float *pfA = mA.GetRow(k), *pfB = mB.GetRow(k);
    for (long i = 0; i < mA.Columns(); i++) {
      const float fA = pfA[i];
      float *pf = m.GetRow(i);
      for (long j = 0; j < mB.Columns(); j++) pf[j] += fA * pfB[j];
    }
  }
  mResult.Swap(m);
  return 1;
}

int mthMultiplyTranspose(CVector &vResult, const CMatrix &mA, const CVector &v)
{
  if (mA.Rows() != v.Count()) {
    corLogGuardBreach();
    return 0;
  }
  CVector vNew(mA.Columns());
  for (long k = 0; k < mA.Rows(); k++) {
    const float *pfA = mA.GetRow(k);
    for (long i = 0; i < mA.Columns(); i++) vNew[i] += pfA[i] * v[k];
  }
  vResult.Swap(vNew);
  return 1;
}

// ---- Solving ----

int mthCholeskyFactorize(CMatrix &mL, const CMatrix &mA)
{
  if (mA.Rows() != mA.Columns()) {
    corLogGuardBreach();
    return 0;
  }
  const long ct = mA.Rows();
  CMatrix m(ct, ct);
  for (long j = 0; j < ct; j++) {
    double dDiagonal = mA(j, j);
    for (long k = 0; k < j; k++) dDiagonal -= (double)m(j, k) * m(j, k);
    // Also refuses NaN, which every comparison fails.
    if (!(dDiagonal > 0 && dDiagonal <= 3.0e38)) return 0;
    const double dPivot = sqrt(dDiagonal);
    m(j, j) = (float)dPivot;
    for (long i = j + 1; i < ct; i++) {
      double dSum = mA(i, j);
      for (long k = 0; k < j; k++) dSum -= (double)m(i, k) * m(j, k);
      m(i, j) = (float)(dSum / dPivot);
    }
  }
  if (!mthCheckFinite(m)) return 0;
  mL.Swap(m);
  return 1;
}

int mthCholeskySolve(CVector &vX, const CMatrix &mL, const CVector &vB)
{
  const long ct = mL.Rows();
  if (mL.Columns() != ct || vB.Count() != ct) {
    corLogGuardBreach();
    return 0;
  }
  for (long i = 0; i < ct; i++) {
    if (!(mL(i, i) > 0)) return 0;
  }
  // L y = b forwards, then L^T x = y backwards.
  CVector v(ct);
  for (long i = 0; i < ct; i++) {
    double dSum = vB[i];
    for (long k = 0; k < i; k++) dSum -= (double)mL(i, k) * v[k];
    v[i] = (float)(dSum / mL(i, i));
  }
  for (long i = ct - 1; i >= 0; i--) {
    double dSum = v[i];
    for (long k = i + 1; k < ct; k++) dSum -= (double)mL(k, i) * v[k];
    v[i] = (float)(dSum / mL(i, i));
  }
  vX.Swap(v);
  return 1;
}

// ---- Checks ----

int mthIsNearMatrix(const CMatrix &mA, const CMatrix &mB, float fTolerance)
{
  if (mA.Rows() != mB.Rows() || mA.Columns() != mB.Columns()) return 0;
  for (long i = 0; i < mA.Rows(); i++) {
    for (long j = 0; j < mA.Columns(); j++) {
      if (!(fabsf(mA(i, j) - mB(i, j)) <= fTolerance)) return 0;
    }
  }
  return 1;
}

int mthIsNearMatrixBlock(const CMatrix &mA, const CMatrix &mB, long iRow, long iColumn,
                         float fTolerance)
{
  if (!BlockFits(mA, iRow, iColumn, mB.Rows(), mB.Columns())) return 0;
  for (long i = 0; i < mB.Rows(); i++) {
    for (long j = 0; j < mB.Columns(); j++) {
      if (!(fabsf(mA(iRow + i, iColumn + j) - mB(i, j)) <= fTolerance)) return 0;
    }
  }
  return 1;
}

int mthCheckFinite(const CMatrix &m)
{
  for (long i = 0; i < m.Rows(); i++) {
    for (long j = 0; j < m.Columns(); j++) {
      if (!isfinite(m(i, j))) return 0;
    }
  }
  return 1;
}

int mthCheckFinite(const CVector &v)
{
  for (long i = 0; i < v.Count(); i++) {
    if (!isfinite(v[i])) return 0;
  }
  return 1;
}

// ---- Blocks and rows ----

Matrix33f mthGetSubMatrixM33(const CMatrix &m, long iRow, long iColumn)
{
  Matrix33f m33(0.0f);
  if (!BlockFits(m, iRow, iColumn, 3, 3)) return m33;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m33.m[i][j] = m(iRow + i, iColumn + j);
  return m33;
}

void mthSetSubMatrix(CMatrix &m, long iRow, long iColumn, const Matrix33f &m33)
{
  if (!BlockFits(m, iRow, iColumn, 3, 3)) return;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m(iRow + i, iColumn + j) = m33.m[i][j];
}

void mthSetSubMatrix(CMatrix &m, long iRow, long iColumn, const CMatrix &mBlock)
{
  if (&m == &mBlock) {
    if (iRow != 0 || iColumn != 0) corLogGuardBreach(); // a matrix cannot hold itself elsewhere
    return;
  }
  if (!BlockFits(m, iRow, iColumn, mBlock.Rows(), mBlock.Columns())) return;
  for (long i = 0; i < mBlock.Rows(); i++) {
    memcpy(m.GetRow(iRow + i) + iColumn, mBlock.GetRow(i),
           (size_t)mBlock.Columns() * sizeof(float));
  }
}

Vector3f mthGetRowV3f(const CMatrix &m, long iRow, long iColumn)
{
  if (!BlockFits(m, iRow, iColumn, 1, 3)) return Vector3f(0.0f);
  const float *pf = m.GetRow(iRow) + iColumn;
  return Vector3f(pf[0], pf[1], pf[2]);
}

void mthSetRowV3f(CMatrix &m, long iRow, long iColumn, const Vector3f &v3)
{
  if (!BlockFits(m, iRow, iColumn, 1, 3)) return;
  float *pf = m.GetRow(iRow) + iColumn;
  pf[0] = v3.x;
  pf[1] = v3.y;
  pf[2] = v3.z;
}

void mthAddRowV3f(CMatrix &m, long iRow, long iColumn, const Vector3f &v3)
{
  if (!BlockFits(m, iRow, iColumn, 1, 3)) return;
  float *pf = m.GetRow(iRow) + iColumn;
  pf[0] += v3.x;
  pf[1] += v3.y;
  pf[2] += v3.z;
}

Vector3f mthGetV3f(const CVector &v, long i)
{
  if (!RangeFits(v, i, 3)) return Vector3f(0.0f);
  return Vector3f(v[i], v[i + 1], v[i + 2]);
}

void mthSetV3f(CVector &v, long i, const Vector3f &v3)
{
  if (!RangeFits(v, i, 3)) return;
  v[i] = v3.x;
  v[i + 1] = v3.y;
  v[i + 2] = v3.z;
}

void mthAddV3f(CVector &v, long i, const Vector3f &v3)
{
  if (!RangeFits(v, i, 3)) return;
  v[i] += v3.x;
  v[i + 1] += v3.y;
  v[i + 2] += v3.z;
}

void mthCopySubVector(CVector &vDest, long iDest, const CVector &vSource, long iSource, long ct)
{
  if (!RangeFits(vDest, iDest, ct) || !RangeFits(vSource, iSource, ct)) return;
  if (ct > 0)
    memmove(vDest.GetData() + iDest, vSource.GetData() + iSource, (size_t)ct * sizeof(float));
}

void mthCopyAndTransposeMatrixBlock(CMatrix &mDest, long iDestRow, long iDestColumn,
                                    const CMatrix &mSource, long iSourceRow, long iSourceColumn,
                                    long ctRows, long ctColumns)
{
  if (!BlockFits(mSource, iSourceRow, iSourceColumn, ctRows, ctColumns) ||
      !BlockFits(mDest, iDestRow, iDestColumn, ctColumns, ctRows)) {
    return;
  }
  for (long i = 0; i < ctRows; i++) {
    for (long j = 0; j < ctColumns; j++) {
      mDest(iDestRow + j, iDestColumn + i) = mSource(iSourceRow + i, iSourceColumn + j);
    }
  }
}

void mthAddSystemMatrixBlock(CMatrix &m, long iRow, long iColumn, const Matrix33f &m33)
{
  if (!BlockFits(m, iRow, iColumn, 3, 3) || !BlockFits(m, iColumn, iRow, 3, 3)) return;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m(iRow + i, iColumn + j) += m33.m[i][j];
  if (iRow == iColumn) return;
  for (int i = 0; i < 3; i++)
    for (int j = 0; j < 3; j++) m(iColumn + j, iRow + i) += m33.m[i][j];
}

QuatVect mthGetQuatVectFromMatrixRow(const CMatrix &m, long iRow, long iColumn)
{
  if (!BlockFits(m, iRow, iColumn, 1, 7)) return mthIdentityQV();
  const float *pf = m.GetRow(iRow) + iColumn;
  return QuatVect(Quaternion4f(pf[0], pf[1], pf[2], pf[3]), Vector3f(pf[4], pf[5], pf[6]));
}

void mthSetQuatVectToMatrixRow(CMatrix &m, long iRow, long iColumn, const QuatVect &qv)
{
  if (!BlockFits(m, iRow, iColumn, 1, 7)) return;
  float *pf = m.GetRow(iRow) + iColumn;
  const float af[7] = {qv.qRotation.x,    qv.qRotation.y,    qv.qRotation.z,   qv.qRotation.w,
                       qv.vTranslation.x, qv.vTranslation.y, qv.vTranslation.z};
  memcpy(pf, af, sizeof(af));
}

// ---- Files ----

int mthSaveMatrixToFile(const CMatrix &m, const char *strFileName)
{
  try {
    CStream strm;
    strm.OpenFile_t(strFileName, "w");
    char str[32];
    snprintf(str, sizeof(str), "%ld %ld", m.Rows(), m.Columns());
    strm.PutLine_t(str);
    for (long i = 0; i < m.Rows(); i++) {
      for (long j = 0; j < m.Columns(); j++) {
        // Nine significant digits read back to the same float.
        snprintf(str, sizeof(str), j == 0 ? "%.9g" : " %.9g", (double)m(i, j));
        strm.PutText_t(str);
      }
      strm.PutLine_t("");
    }
    strm.Close();
  } catch (CException &) {
    return 0;
  }
  return 1;
}

} // namespace QuennelEngine
