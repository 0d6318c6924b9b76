// A file that names a header without its folder, past the check.
#pragma once
#include "Format.h"
