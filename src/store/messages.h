// The general message table: the numbered error and advice texts that the
// dialogs, windows and remote test requests show.
#pragma once

// The numbers of the texts, each named for what it tells.
inline constexpr int kUnknownErrorMessage = 0;
inline constexpr int kOutOfMemoryMessage = 1;
inline constexpr int kFileAccessMessage = 2;  // read only or opened by another process
inline constexpr int kInvalidPathMessage = 3;
inline constexpr int kSelectingInstrumentsMessage = 4;
inline constexpr int kNotReadyMessage = 5;
inline constexpr int kSelectOnlyOneInstrumentMessage = 6;
inline constexpr int kSelectAtLeastOneInstrumentMessage = 7;
inline constexpr int kSelectAtLeastOneRecordMessage = 8;
inline constexpr int kUnknownFormatMessage = 9;
inline constexpr int kSelectOnlyOneRecordMessage = 10;
inline constexpr int kSelectAtLeastOneTestMessage = 11;
inline constexpr int kInvalidInstrumentMessage = 12;
inline constexpr int kBadCommandLineMessage = 13;
inline constexpr int kDirectoryFullMessage = 14;
inline constexpr int kAlreadyRepairedMessage = 15;
inline constexpr int kRepairFailedMessage = 16;
inline constexpr int kInvalidDateMessage = 17;
inline constexpr int kInvalidTimeMessage = 18;
inline constexpr int kCannotCreateDirectoryMessage = 19;
inline constexpr int kCreateDirectoryQuestion = 20;  // a Yes/No question
inline constexpr int kSelectProblemMessage = 21;
inline constexpr int kNoSuchFileMessage = 22;
inline constexpr int kMessageCount = 23;

// The text of message number (0 ... 22): a read-only string that lives for the
// whole run. Numbers outside the table give text 0, "An unknown error occurred!".
const char* GetError(int number);
