// Dates (stored as (year - 1900) * 10000 + MM * 100 + DD) and times (HHMMSS)
// held in native floats, their parts and their text forms.
//
// The year part passed around is the year since 1900 (0 ... 199, i.e. 1900 to
// 2099). Values below 1,000,000 carry no century digit (19YY); values from
// 1,000,000 up carry it in front (1YYMMDD = 20YY), as every data directory
// written since 1999 does. Text forms always show a two-digit year.
//
// Splitting a value into parts formats it with "%06.0f" (rounded, at least six
// characters) and converts characters 0-1, 2-3 and 4-5 as strtol does, so 0.0
// splits into 0, 0, 0 and -1.0 / -2.0 ("-00001", "-00002") into 0, 0, 1 and
// 0, 0, 2: never valid dates, but valid times (00:00:01, 00:00:02). A date text
// of seven or more digits splits into the digits before the last four (the
// year since 1900, capped at 32767) and MM, DD. Times never carry a century:
// their characters from the seventh on are ignored.
//
// The text conversions take exactly two separators and three parts of at most
// 11 characters each (leading blanks accepted, each number ending at its first
// non-digit, an empty part being 0); anything else, including numbers beyond
// the 16-bit range, gives -1.0.
#pragma once

#include <cstddef>
#include <cstdint>

inline constexpr int16_t kMaxYearSince1900 = 199;

int IsValidDate(int16_t day, int16_t month, int16_t year);
// 1 and *date written, or 0 and nothing written.
int MakeDate(float* date, int16_t day, int16_t month, int16_t year);
// The parts are always written; the result is IsValidDate of them.
int ExtractDate(float date, int16_t* day, int16_t* month, int16_t* year);
int IsValidFloatDate(float date);
// ExtractDate, then MakeDate of the parts, in one call (the order tests ask
// it of every record's date): 1 and *remade written, or 0 and nothing.
int RemakeDate(float date, float* remade);
// DD/MM/YY without validation. The buffer is owned by the function, one for
// each thread, lives for the whole run and is overwritten by the thread's next
// call.
const char* StrDate(float date);
// The same text written at out, without a terminator; the end of the text.
// Three 16-bit parts and two separators: kDateTextRoom bytes at most.
inline constexpr size_t kDateTextRoom = 20;
char* WriteDateText(char* out, float date);
// D/M/Y as typed by a person: a two-digit year 00-49 means 2000-2049, 50-99
// means 1950-1999. Returns the stored date, or -1.0 when the text is not a
// valid date.
float MakeDateFromString(const char* text);
// YYYY-MM-DD, exactly those digits: the year says its century, so every
// storable year (1900-2099) can be given. The stored date, or -1.0.
float MakeDateFromIsoString(const char* text);

int IsValidTime(int16_t hour, int16_t minute, int16_t second);
int MakeTime(float* time, int16_t hour, int16_t minute, int16_t second);
// The parts are always written; always returns 1.
int ExtractTime(float time, int16_t* hour, int16_t* minute, int16_t* second);
int IsValidFloatTime(float time);
// ExtractTime, then MakeTime of the parts, as RemakeDate.
int RemakeTime(float time, float* remade);
// HH:MM:SS without validation; buffer as for StrDate.
const char* StrTime(float time);
// The same written at out as WriteDateText writes (kDateTextRoom at most).
char* WriteTimeText(char* out, float time);
// H:M:S; the time, or -1.0 when the text is not a valid time. -1.0 splits into
// a valid time, so callers compare the result with -1.0.
float MakeTimeFromString(const char* text);
