#pragma once
// Text and formatting: characters, strings, and the positional formatter and scanner.
#include "core/text/Characters.h"
#include "core/text/StringAlloc.h"
#include "core/text/String.h"
#include "core/text/WString.h"
