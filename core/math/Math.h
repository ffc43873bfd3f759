#pragma once
// The math value types (docs/math.md gives their conventions) and the x87 precision switch.
#include "core/math/Box.h"
#include "core/math/FPU.h"
#include "core/math/Finite.h"
#include "core/math/Matrix.h"
#include "core/math/Plane.h"
#include "core/math/Projection.h"
#include "core/math/Quaternion.h"
#include "core/math/Ray.h"
#include "core/math/Rotation.h"
#include "core/math/Transform.h"
#include "core/math/Vector.h"
