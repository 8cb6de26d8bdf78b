// How serious each defect is and what it does: the texts of the Error
// Explanation dialog, for the DAT and master catalogues.
#pragma once

#include <cstdint>

inline constexpr int kExplanationTextSize = 300;

struct ErrorExplanation {
  int32_t severity;  // GetSeverityText level
  char explanation[kExplanationTextSize];
};

// "Unlikely to cause problems" (0) ... "Serious Internal Error!" (3); levels
// outside 0 ... 3 give the text of 3.
const char* GetSeverityText(int32_t level);

// The explanation of a DAT code (0 ... 10) or a master code (0 ... 12); codes
// outside those give the catalogue's closing entry ("A serious internal error
// within the utility has occured."). The records live for the whole run.
const ErrorExplanation& GetDATExplanation(int32_t code);
const ErrorExplanation& GetMasterExplanation(int32_t code);
