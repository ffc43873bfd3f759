#pragma once
// Helpers of the metadata tests.
#include "TestSupport.h"

#include <string>

namespace QuennelEngine {
namespace Test {

} // namespace Test
} // namespace QuennelEngine
