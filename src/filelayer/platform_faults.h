// Bookkeeping shared by the platform backends for the fault injection declared
// in platform_file.h.
#pragma once

#include <cstdint>
#include <functional>

#include "filelayer/platform_file.h"

namespace platform::detail {

// Counts one call of the kind; true when an injected fault says this call
// must fail (the caller then returns its failure result without doing
// anything).
bool CallFails(Call kind);
// The bytes of a write of count bytes at offset that the Write call just
// counted by CallFails may store: count, or fewer when ShortenNthWrite named
// that call (size, the file's size, is asked for only then).
uint32_t WriteAllowance(uint32_t count, int64_t offset, const std::function<int64_t()>& size);

}  // namespace platform::detail
