#pragma once
// The math value types (docs/math.md gives their conventions), the x87 precision switch, and the
// function families: finiteness, inversion, rotations, transforms, projections, intersections,
// general matrices, trigonometry, random tables.
#include "core/math/Box.h"
#include "core/math/FPU.h"
#include "core/math/Finite.h"
#include "core/math/GeneralMatrix.h"
#include "core/math/Intersect.h"
#include "core/math/Matrix.h"
#include "core/math/OBox.h"
#include "core/math/Plane.h"
#include "core/math/Primitive.h"
#include "core/math/Projection.h"
#include "core/math/Quaternion.h"
#include "core/math/RandomTables.h"
#include "core/math/Ray.h"
#include "core/math/Rotation.h"
#include "core/math/Transform.h"
#include "core/math/Trig.h"
#include "core/math/Vector.h"
