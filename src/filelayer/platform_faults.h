// Bookkeeping shared by the platform backends for the fault injection declared
// in platform_file.h.
#pragma once

#include "filelayer/platform_file.h"

namespace platform::detail {

// Counts one call of the kind; true when an injected fault says this call
// must fail (the caller then returns its failure result without doing
// anything).
bool CallFails(Call kind);
// The bytes the Write call just counted by CallFails may store: count, or
// fewer when ShortenNthWrite named that call.
uint32_t WriteAllowance(uint32_t count);

}  // namespace platform::detail
