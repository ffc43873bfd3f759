// General matrices and vectors: products against GLM for the sizes it has and against plain
// double loops for any size, Cholesky by its identities (L L^T = A, the solve's residual), the
// refusals of sizes that do not fit, the block helpers, and saving a matrix to a file.
#include "TestSupport.h"

#include <gtest/gtest.h>

#include <glm/glm.hpp>

#include <math.h>
#include <random>
#include <string>

using namespace QuennelEngine;
using namespace QuennelEngine::Test;

namespace {

class CRandomMatrices {
public:
  explicit CRandomMatrices(unsigned uSeed) : rm_mt(uSeed) {}
  float F(float fLow, float fHigh)
  {
    return std::uniform_real_distribution<float>(fLow, fHigh)(rm_mt);
  }
  long Size(long slLow, long slHigh)
  {
    return std::uniform_int_distribution<long>(slLow, slHigh)(rm_mt);
  }
  CMatrix Matrix(long ctRows, long ctColumns)
  {
    CMatrix m(ctRows, ctColumns);
    for (long i = 0; i < ctRows; i++)
      for (long j = 0; j < ctColumns; j++) m(i, j) = F(-2, 2);
    return m;
  }
  CVector Vector(long ct)
  {
    CVector v(ct);
    for (long i = 0; i < ct; i++) v[i] = F(-2, 2);
    return v;
  }
  // B B^T + n I: symmetric and well inside the positive definite ones.
  CMatrix SymmetricPositiveDefinite(long ct)
  {
    const CMatrix mB = Matrix(ct, ct);
    CMatrix m(ct, ct);
    for (long i = 0; i < ct; i++) {
      for (long j = 0; j < ct; j++) {
        double d = i == j ? ct : 0;
        for (long k = 0; k < ct; k++) d += (double)mB(i, k) * mB(j, k);
        m(i, j) = (float)d;
      }
    }
    return m;
  }

private:
  std::mt19937 rm_mt;
};

// A^T B (bTransposeA) or A B in double, the reference of the products.
CMatrix Product(const CMatrix &mA, const CMatrix &mB, bool bTransposeA = false)
{
  const long ctRows = bTransposeA ? mA.Columns() : mA.Rows();
  const long ctInner = bTransposeA ? mA.Rows() : mA.Columns();
  CMatrix m(ctRows, mB.Columns());
  for (long i = 0; i < ctRows; i++) {
    for (long j = 0; j < mB.Columns(); j++) {
      double d = 0;
      for (long k = 0; k < ctInner; k++)
        d += (double)(bTransposeA ? mA(k, i) : mA(i, k)) * mB(k, j);
      m(i, j) = (float)d;
    }
  }
  return m;
}

CMatrix Column(const CVector &v)
{
  CMatrix m(v.Count(), 1);
  for (long i = 0; i < v.Count(); i++) m(i, 0) = v[i];
  return m;
}

void ExpectNearVector(const CVector &v, const CMatrix &mColumn, float fTolerance)
{
  ASSERT_EQ(v.Count(), mColumn.Rows());
  for (long i = 0; i < v.Count(); i++) EXPECT_NEAR(v[i], mColumn(i, 0), fTolerance) << i;
}

template <int N> glm::mat<N, N, float> ToGlm(const CMatrix &m)
{
  glm::mat<N, N, float> mg;
  for (int i = 0; i < N; i++)
    for (int j = 0; j < N; j++) mg[j][i] = m(i, j); // GLM indexes column, then row
  return mg;
}

} // namespace

TEST(GeneralMatrix, ProductsAgreeWithGLMAndDoubleLoops)
{
  CRandomMatrices r(11);
  // Sizes 3 and 4 against GLM.
  for (int i = 0; i < 500; i++) {
    const CMatrix mA3 = r.Matrix(3, 3), mB3 = r.Matrix(3, 3);
    const CMatrix mA4 = r.Matrix(4, 4), mB4 = r.Matrix(4, 4);
    CMatrix m3, m4;
    ASSERT_EQ(mthMultiply(m3, mA3, mB3), 1);
    ASSERT_EQ(mthMultiply(m4, mA4, mB4), 1);
    const glm::mat3 mg3 = ToGlm<3>(mA3) * ToGlm<3>(mB3);
    const glm::mat4 mg4 = ToGlm<4>(mA4) * ToGlm<4>(mB4);
    for (int k = 0; k < 3; k++)
      for (int j = 0; j < 3; j++) EXPECT_NEAR(m3(k, j), mg3[j][k], 1e-5f);
    for (int k = 0; k < 4; k++)
      for (int j = 0; j < 4; j++) EXPECT_NEAR(m4(k, j), mg4[j][k], 1e-5f);
    // A vector: GLM multiplies column vectors as we do.
    const CVector v4 = r.Vector(4);
    CVector vR;
    ASSERT_EQ(mthMultiply(vR, mA4, v4), 1);
    const glm::vec4 vg = ToGlm<4>(mA4) * glm::vec4(v4[0], v4[1], v4[2], v4[3]);
    for (int k = 0; k < 4; k++) EXPECT_NEAR(vR[k], vg[k], 1e-5f);
  }
  // Any sizes against double loops: products, the transposed ones, the accumulating ones, sums.
  for (int i = 0; i < 300; i++) {
    const long ctRows = r.Size(1, 9), ctInner = r.Size(1, 9), ctColumns = r.Size(1, 9);
    const CMatrix mA = r.Matrix(ctRows, ctInner), mB = r.Matrix(ctInner, ctColumns);
    const CMatrix mC = r.Matrix(ctRows, ctColumns);
    const CVector v = r.Vector(ctInner), vRows = r.Vector(ctRows);
    CMatrix m;
    ASSERT_EQ(mthMultiply(m, mA, mB), 1);
    EXPECT_TRUE(mthIsNearMatrix(m, Product(mA, mB), 1e-4f));
    ASSERT_EQ(mthMultiplyTranspose(m, mA, mC), 1); // A^T C
    EXPECT_TRUE(mthIsNearMatrix(m, Product(mA, mC, true), 1e-4f));
    m = mC;
    ASSERT_EQ(mthMultiplyAdd(m, mA, mB), 1);
    CMatrix mExpected;
    mthAdd(mExpected, mC, Product(mA, mB));
    EXPECT_TRUE(mthIsNearMatrix(m, mExpected, 1e-4f));
    CVector vR;
    ASSERT_EQ(mthMultiply(vR, mA, v), 1);
    ExpectNearVector(vR, Product(mA, Column(v)), 1e-4f);
    ASSERT_EQ(mthMultiplyTranspose(vR, mA, vRows), 1);
    ExpectNearVector(vR, Product(mA, Column(vRows), true), 1e-4f);
    vR = vRows;
    ASSERT_EQ(mthMultiplyAdd(vR, mA, v), 1);
    const CMatrix mAv = Product(mA, Column(v));
    for (long k = 0; k < ctRows; k++) EXPECT_NEAR(vR[k], vRows[k] + mAv(k, 0), 1e-4f);
    // Sums and differences, element by element.
    CMatrix mSum, mDifference;
    ASSERT_EQ(mthAdd(mSum, mC, mC), 1);
    ASSERT_EQ(mthSub(mDifference, mSum, mC), 1);
    EXPECT_TRUE(mthIsNearMatrix(mDifference, mC, 0));
    CVector vSum, vDifference;
    ASSERT_EQ(mthAdd(vSum, v, v), 1);
    ASSERT_EQ(mthSub(vDifference, vSum, v), 1);
    for (long k = 0; k < ctInner; k++) EXPECT_EQ(vDifference[k], v[k]);
  }
}

TEST(GeneralMatrix, ResultsMayBeOperandsAndCopiesAreDeep)
{
  CRandomMatrices r(12);
  const CMatrix mA = r.Matrix(5, 5);
  CMatrix m = mA;
  ASSERT_EQ(mthMultiply(m, m, m), 1);
  EXPECT_TRUE(mthIsNearMatrix(m, Product(mA, mA), 1e-4f));
  // The copy kept its own elements.
  CMatrix mCopy = mA;
  mCopy(2, 3) += 1;
  EXPECT_EQ(mCopy(2, 3), mA(2, 3) + 1);
  CVector v = r.Vector(5);
  const CVector vOld = v;
  ASSERT_EQ(mthMultiply(v, mA, v), 1);
  ExpectNearVector(v, Product(mA, Column(vOld)), 1e-4f);
  CVector vCopy(vOld);
  vCopy[0] = 99;
  EXPECT_NE(vOld[0], 99);
  // Moves hand over the elements; new objects are zeros; the identity.
  CMatrix mMoved(std::move(mCopy));
  EXPECT_EQ(mMoved.Rows(), 5);
  EXPECT_EQ(mCopy.Rows(), 0);
  CMatrix mZeros(2, 3);
  EXPECT_TRUE(mthIsNearMatrix(mZeros, CMatrix(2, 3), 0));
  EXPECT_EQ(mZeros(1, 2), 0.0f);
  mZeros.SetIdentity();
  EXPECT_EQ(mZeros(1, 1), 1.0f);
  EXPECT_EQ(mZeros(1, 2), 0.0f);
  EXPECT_EQ(CVector(3)[2], 0.0f);
  // Finiteness.
  EXPECT_TRUE(mthCheckFinite(mA));
  EXPECT_TRUE(mthCheckFinite(CMatrix()));
  m = mA;
  m(4, 4) = INFINITY;
  EXPECT_FALSE(mthCheckFinite(m));
  m(4, 4) = NAN;
  EXPECT_FALSE(mthCheckFinite(m));
  CVector vNan(3);
  vNan[1] = NAN;
  EXPECT_FALSE(mthCheckFinite(vNan));
  EXPECT_TRUE(mthCheckFinite(CVector(3)));
}

TEST(GeneralMatrix, SizesThatDoNotFitAreGuardBreachesAndChangeNothing)
{
  CRandomMatrices r(13);
  const CMatrix m23 = r.Matrix(2, 3), m22 = r.Matrix(2, 2);
  const CVector v2 = r.Vector(2), v3 = r.Vector(3);
  CMatrix mResult = r.Matrix(1, 1);
  const CMatrix mOld = mResult;
  CVector vResult = r.Vector(1);
  CGuardBreachCounter gbc;
  EXPECT_EQ(mthAdd(mResult, m23, m22), 0);
  EXPECT_EQ(mthSub(mResult, m23, m22), 0);
  EXPECT_EQ(mthMultiply(mResult, m23, m22), 0);    // 3 columns, 2 rows
  EXPECT_EQ(mthMultiplyAdd(mResult, m22, m23), 0); // the result is 1 x 1, not 2 x 3
  EXPECT_EQ(mthMultiplyTranspose(mResult, m23, r.Matrix(3, 3)), 0);
  EXPECT_EQ(mthCholeskyFactorize(mResult, m23), 0); // not square
  EXPECT_EQ(mthAdd(vResult, v2, v3), 0);
  EXPECT_EQ(mthSub(vResult, v2, v3), 0);
  EXPECT_EQ(mthMultiply(vResult, m23, v2), 0);
  EXPECT_EQ(mthMultiplyAdd(vResult, m23, v3), 0);
  EXPECT_EQ(mthMultiplyTranspose(vResult, m23, v3), 0);
  EXPECT_EQ(mthCholeskySolve(vResult, m22, v3), 0);
  EXPECT_EQ(gbc.Count(), 12);
  EXPECT_TRUE(mthIsNearMatrix(mResult, mOld, 0));
  EXPECT_EQ(vResult.Count(), 1);
  // Negative sizes.
  CMatrix mKept(2, 2);
  mKept.New(-1, 3);
  CVector vKept(2);
  vKept.New(-2);
  EXPECT_EQ(gbc.Count(), 14);
  EXPECT_EQ(mKept.Rows(), 2);
  EXPECT_EQ(vKept.Count(), 2);
  // Different sizes are simply not near.
  EXPECT_FALSE(mthIsNearMatrix(m23, m22, 100));
  EXPECT_EQ(gbc.Count(), 14);
}

TEST(GeneralMatrix, CholeskyReproducesTheMatrixAndSolvesWithASmallResidual)
{
  CRandomMatrices r(14);
  for (int i = 0; i < 300; i++) {
    const long ct = r.Size(1, 12);
    const CMatrix mA = r.SymmetricPositiveDefinite(ct);
    CMatrix mL;
    ASSERT_EQ(mthCholeskyFactorize(mL, mA), 1) << i;
    // Lower triangular with a positive diagonal, and L L^T = A.
    for (long k = 0; k < ct; k++) {
      EXPECT_GT(mL(k, k), 0);
      for (long j = k + 1; j < ct; j++) EXPECT_EQ(mL(k, j), 0.0f);
    }
    CMatrix mLT(ct, ct);
    mthCopyAndTransposeMatrixBlock(mLT, 0, 0, mL, 0, 0, ct, ct);
    CMatrix mLLT;
    mthMultiply(mLLT, mL, mLT);
    EXPECT_TRUE(mthIsNearMatrix(mLLT, mA, 1e-4f * ct));
    // A x = b within float accuracy of the system.
    const CVector vB = r.Vector(ct);
    CVector vX;
    ASSERT_EQ(mthCholeskySolve(vX, mL, vB), 1);
    const CMatrix mAx = Product(mA, Column(vX));
    for (long k = 0; k < ct; k++) EXPECT_NEAR(mAx(k, 0), vB[k], 1e-4f * ct);
  }
  // A matrix that is not positive definite, a singular one, NaN: refused, the result unchanged.
  CMatrix mL(1, 1);
  mL(0, 0) = 5;
  CMatrix mIndefinite(2, 2);
  mIndefinite(0, 0) = 1;
  mIndefinite(1, 0) = mIndefinite(0, 1) = 2;
  mIndefinite(1, 1) = 1;
  EXPECT_EQ(mthCholeskyFactorize(mL, mIndefinite), 0);
  CMatrix mSingular(2, 2);
  mSingular.Fill(1);
  EXPECT_EQ(mthCholeskyFactorize(mL, mSingular), 0);
  CMatrix mNan(1, 1);
  mNan(0, 0) = NAN;
  EXPECT_EQ(mthCholeskyFactorize(mL, mNan), 0);
  EXPECT_EQ(mL.Rows(), 1);
  EXPECT_EQ(mL(0, 0), 5.0f);
  // A factor with a zero on its diagonal cannot solve.
  CVector vX(1);
  EXPECT_EQ(mthCholeskySolve(vX, CMatrix(2, 2), CVector(2)), 0);
  EXPECT_EQ(vX.Count(), 1);
  // The empty system is solved by the empty vector.
  CMatrix mEmptyL;
  EXPECT_EQ(mthCholeskyFactorize(mEmptyL, CMatrix()), 1);
  EXPECT_EQ(mthCholeskySolve(vX, mEmptyL, CVector()), 1);
  EXPECT_EQ(vX.Count(), 0);
}

TEST(GeneralMatrix, BlocksRowsAndPlacementsLandWhereTheySay)
{
  CRandomMatrices r(15);
  CMatrix m(6, 9);
  const Matrix33f m33(1, 2, 3, 4, 5, 6, 7, 8, 9);
  mthSetSubMatrix(m, 2, 5, m33);
  EXPECT_EQ(m(2, 5), 1.0f);
  EXPECT_EQ(m(3, 6), 5.0f);
  EXPECT_EQ(m(4, 7), 9.0f);
  EXPECT_EQ(mthGetSubMatrixM33(m, 2, 5), m33);
  // A CMatrix block, and comparing blocks.
  const CMatrix mBlock = r.Matrix(2, 4);
  mthSetSubMatrix(m, 4, 1, mBlock);
  EXPECT_TRUE(mthIsNearMatrixBlock(m, mBlock, 4, 1, 0));
  EXPECT_FALSE(mthIsNearMatrixBlock(m, mBlock, 3, 1, 0.001f));
  // Rows of three.
  mthSetRowV3f(m, 0, 6, Vector3f(1, 2, 3));
  mthAddRowV3f(m, 0, 6, Vector3f(10, 20, 30));
  EXPECT_EQ(mthGetRowV3f(m, 0, 6), Vector3f(11, 22, 33));
  EXPECT_EQ(m(0, 8), 33.0f);
  CVector v(7);
  mthSetV3f(v, 4, Vector3f(1, 2, 3));
  mthAddV3f(v, 4, Vector3f(1, 1, 1));
  EXPECT_EQ(mthGetV3f(v, 4), Vector3f(2, 3, 4));
  CVector vOther(5);
  mthCopySubVector(vOther, 1, v, 4, 3);
  EXPECT_EQ(vOther[0], 0.0f);
  EXPECT_EQ(mthGetV3f(vOther, 1), Vector3f(2, 3, 4));
  // A transposed block: 2 x 3 at (0, 0) becomes 3 x 2 at (1, 2).
  const CMatrix mSource = r.Matrix(4, 4);
  CMatrix mDest(5, 5);
  mthCopyAndTransposeMatrixBlock(mDest, 1, 2, mSource, 0, 0, 2, 3);
  for (long i = 0; i < 2; i++)
    for (long j = 0; j < 3; j++) EXPECT_EQ(mDest(1 + j, 2 + i), mSource(i, j));
  EXPECT_EQ(mDest(0, 0), 0.0f);
  // System blocks stay symmetric; a diagonal block is added once.
  CMatrix mSystem(6, 6);
  mthAddSystemMatrixBlock(mSystem, 0, 3, m33);
  mthAddSystemMatrixBlock(mSystem, 3, 3, m33);
  for (long i = 0; i < 3; i++) {
    for (long j = 0; j < 3; j++) {
      EXPECT_EQ(mSystem(i, 3 + j), m33.m[i][j]);
      EXPECT_EQ(mSystem(3 + j, i), m33.m[i][j]);
      EXPECT_EQ(mSystem(3 + i, 3 + j), m33.m[i][j]);
    }
  }
  // Placements in a row.
  const QuatVect qv(Quaternion4f(0.1f, 0.2f, 0.3f, 0.9f), Vector3f(4, 5, 6));
  CMatrix mPlacements(2, 10);
  mthSetQuatVectToMatrixRow(mPlacements, 1, 3, qv);
  EXPECT_EQ(mPlacements(1, 3), 0.1f);
  EXPECT_EQ(mPlacements(1, 9), 6.0f);
  EXPECT_EQ(mthGetQuatVectFromMatrixRow(mPlacements, 1, 3), qv);
  // Anything reaching past the matrix is a guard breach and changes nothing.
  CGuardBreachCounter gbc;
  const CMatrix mBefore = mPlacements;
  EXPECT_EQ(mthGetQuatVectFromMatrixRow(mPlacements, 1, 4), mthIdentityQV());
  mthSetQuatVectToMatrixRow(mPlacements, 0, 4, qv);
  mthSetRowV3f(mPlacements, 2, 0, Vector3f(1.0f));
  mthAddRowV3f(mPlacements, -1, 0, Vector3f(1.0f));
  EXPECT_EQ(mthGetRowV3f(mPlacements, 0, 8), Vector3f(0.0f));
  mthSetSubMatrix(mPlacements, 0, 0, m33);
  EXPECT_EQ(mthGetSubMatrixM33(mPlacements, 0, 0), Matrix33f(0.0f));
  mthSetSubMatrix(mPlacements, 1, 0, r.Matrix(2, 2));
  mthCopyAndTransposeMatrixBlock(mPlacements, 0, 0, mSource, 0, 0, 2, 3);
  mthAddSystemMatrixBlock(mPlacements, 0, 0, m33);
  EXPECT_FALSE(mthIsNearMatrixBlock(mPlacements, mSource, 0, 0, 100));
  mthSetV3f(v, 5, Vector3f(1.0f));
  mthAddV3f(v, -1, Vector3f(1.0f));
  EXPECT_EQ(mthGetV3f(v, 6), Vector3f(0.0f));
  mthCopySubVector(vOther, 3, v, 0, 3);
  EXPECT_EQ(gbc.Count(), 15);
  EXPECT_TRUE(mthIsNearMatrix(mPlacements, mBefore, 0));
  EXPECT_EQ(mthGetV3f(v, 4), Vector3f(2, 3, 4));
}

TEST(GeneralMatrix, SavedMatricesReadBackExactly)
{
  CRandomMatrices r(16);
  CMatrix m = r.Matrix(3, 4);
  m(0, 0) = 1.0f / 3.0f;
  m(2, 3) = -1e-30f;
  m(1, 1) = 3e30f;
  const char *strFile = "Temp_MatrixTest.txt";
  ASSERT_EQ(mthSaveMatrixToFile(m, strFile), 1);
  const std::string strText = ThrownBy([&] {
    CStream strm;
    strm.OpenFile_t(strFile, "r");
    long ctRows = 0, ctColumns = 0;
    ASSERT_EQ(sscanf(strm.GetLine_t(), "%ld %ld", &ctRows, &ctColumns), 2);
    ASSERT_EQ(ctRows, 3);
    ASSERT_EQ(ctColumns, 4);
    for (long i = 0; i < ctRows; i++) {
      const CString strLine = strm.GetLine_t();
      const char *pch = strLine;
      for (long j = 0; j < ctColumns; j++) {
        char *pchEnd;
        const float f = strtof(pch, &pchEnd);
        ASSERT_NE(pchEnd, pch) << strLine;
        EXPECT_EQ(f, m(i, j)) << i << "," << j;
        pch = pchEnd;
      }
      EXPECT_EQ(*pch, '\0');
    }
    EXPECT_TRUE(strm.IsAtEOF_t());
    strm.Close();
    filDeleteFile_t(strFile);
  });
  EXPECT_EQ(strText, "");
  // A file that cannot be opened: 0, nothing thrown.
  EXPECT_EQ(mthSaveMatrixToFile(m, ""), 0);
}
