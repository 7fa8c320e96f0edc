#pragma once

#include "core/index_format.h"

// The lead bytes of the system's ANSI code page, for cutting its paths only
// at real separators; built once, then only read.
LeadByteTable AnsiLeadBytes();
