// The general message table: the numbered error and advice texts that the
// dialogs, windows and remote test requests show.
#pragma once

inline constexpr int kMessageCount = 23;

// The text of message number (0 ... 22): a read-only string that lives for the
// whole run. Numbers outside the table give text 0, "An unknown error occurred!".
const char* GetError(int number);
