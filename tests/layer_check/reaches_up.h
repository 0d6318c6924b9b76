// A file of the engine's lowest layer that includes from a layer above it.
#pragma once
#include "engine/base/Format.h"
#include "engine/ops/Split.h"
