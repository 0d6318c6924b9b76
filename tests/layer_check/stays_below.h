// A file of the set layer that includes only from below it.
#pragma once
#include "engine/base/Format.h"
#include "engine/par2/Packets.h"
#include "engine/set/PiecePlan.h"
