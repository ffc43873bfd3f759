#pragma once
// Text and formatting: characters, strings, and the positional formatter and scanner.
#include "core/text/Characters.h"
