// The process-wide table of open data files. Every read and write of master,
// .DAT and .DOP files passes through here.
//
// A FileHandle indexes the handle table (0 ... 32767). Several handles may
// share one open file (same name text, first open shareable, later opens for
// reading), each with its own position. The platform handle of an open file
// may be given back (ReleaseHandle) and is opened again by name on next use.
//
// Threads share the tables and their rules (a file one thread holds refuses
// another thread's writer as it would the same thread's); operations on
// different files run at once. A handle is for one thread at a time.
#pragma once

#include <cstdint>
#include <string>

using FileHandle = int32_t;

inline constexpr int kMaxOpenHandles = 32768;

// SOpenFile results below zero.
inline constexpr FileHandle kNoFreeHandle = -100;  // also: mode not 0, 1 or 2
inline constexpr FileHandle kOpenRefused =
    -99;  // not shareable / already open for write / mode 0 platform failure
// Every entry in use holds at least one handle, so the handle table fills
// first and this code is not seen in practice.
inline constexpr FileHandle kNoFreeFileEntry = -98;
inline constexpr FileHandle kPlatformOpenFailed = -97;  // mode 1 open or mode 2 create failed
inline constexpr FileHandle kClosedHandle = -96;        // what SCloseFile returns

// SOpenFile's modes and flags by name.
inline constexpr int kOpenReadOnly = 0;
inline constexpr int kOpenReadWrite = 1;
inline constexpr int kOpenCreate = 2;
inline constexpr int kOpenShared = 1;
inline constexpr int kOpenTemporary = 1;
inline constexpr int kOpenNotTemporary = 0;
// The record size of a file read in byte ranges with ReadBlock.
inline constexpr uint32_t kByteRecords = 1;

// mode 0: read an existing file; 1: read and write an existing file;
// 2: create (or empty) and read and write. share: 1 allows later mode 0 opens
// of the same name to share the entry. The record size is kept only when a
// new entry is made. temporary: 1 adds the platform's temporary attribute.
// Names are compared byte for byte: two texts for one file make two entries,
// and the platform's sharing rules decide between them (the names of a data
// directory's files are therefore formed in one place, store/file_names.h). A
// file longer than 2^31 - 1 bytes is refused like a failed platform open.
FileHandle SOpenFile(const char* name, int mode, int share, uint32_t recordSize, int temporary);
// Always returns kClosedHandle; the last handle of an entry closes the file.
FileHandle SCloseFile(FileHandle handle);
int ValidFile(FileHandle handle);

// Every operation below expects a valid handle; given an invalid one it does
// nothing and fails (0, or -1 from SSeek). Reads are refused (0) beyond the
// tracked length without touching the platform; writes raise it, by the bytes
// that reached the file. A failed read or write leaves the handle's position
// unchanged. A write that would end beyond 2^31 - 1 bytes is refused.
// A released platform handle is opened again (by the stored name, with the
// stored access, sharing and attributes) before any read, write, seek,
// truncation or copy; when that fails the operation fails and the next one
// tries again.
// The accessed mark is set by every read, write, seek, truncation and copy
// that reached the platform, whether or not the platform call succeeded.
int ReadRecord(FileHandle handle, void* buffer, int advance);
int WriteRecord(FileHandle handle, const void* buffer, int advance);
int ReadBlock(FileHandle handle, void* buffer, uint32_t count, int32_t offset, int advance);
int WriteBlock(FileHandle handle, const void* buffer, uint32_t count, int32_t offset, int advance);
// origin 0 start, 1 current position, 2 end as the platform sees it. Returns
// the new position, or -1 (all bits set) on failure (another origin, a
// position before the start or beyond 2^31 - 1), which also becomes the
// handle's position; when the platform handle cannot be opened again the
// position is kept.
int32_t SSeek(FileHandle handle, int32_t distance, int origin);
int32_t FileLength(FileHandle handle);
// 1 when the platform cut or extended the file to length (then the tracked
// length equals it), else 0. Positions are not changed.
int STruncateFile(FileHandle handle, int32_t length);
// Copies from byte (record + 1) * record size (skip != 0) or record * record
// size (skip == 0) of source to its end (as the platform sees it), to
// destination at its position, in 32768-byte chunks through one heap buffer.
// The destination's tracked length rises to cover what was copied; advance
// moves both handles' positions on by the bytes copied. Reports nothing: a
// failure stops the copy where it happened.
void CopyFromRecord(FileHandle source, FileHandle destination, int32_t record, int skip, int advance);
// Puts the file named replacementName in the place of the handle's file in
// one step (the platform handle is given back first: Windows will not replace
// an open file). 1: the handle and every handle on the same entry refer to the
// replacement under the old name, the tracked length is the new file's size
// and the accessed mark is set; positions are kept. 0: nothing changed — the
// old file is still there under its name and the handle works on it, the
// replacement is still under its own name for the caller to delete. Fails
// when the replacement is open (close it first) or another open (another
// name text, another program) holds the file.
int SUpdateFile(FileHandle handle, const char* replacementName);

// 1 when the entry's platform handle was open and has been closed (for every
// handle on the entry); the file stays open in the table. 0 when it was
// already released.
int ReleaseHandle(FileHandle handle);
int FileAccessed(FileHandle handle);
void ClearFileAccess(FileHandle handle);

// 1 when the file can be opened for reading with read and write sharing
// (not a directory); within a platform::ListingScope of its directory, when
// it is listed as a file (the open that reads it learns the rest).
int Exists(const char* fileName);
// 1 when a directory search of "<directory>*.*" finds at least one entry;
// every existing directory does (its "." entry counts), whatever it holds.
int IsValidPath(const char* directory);
// Copies the name up to and including its last backslash, with a
// terminating zero, into out (room for strlen(fileName) + 1 bytes); 0 (out
// untouched) when the name holds no backslash.
int FileNameToPath(char* out, const char* fileName);
// 1 when an entry of the table holds exactly this name text (case and
// separators as given).
int IsFileOpen(const char* name);
// The name as the system writes it, for messages (under POSIX '/' separators,
// and a backslash where a listed name held one); "" for null.
std::string NativePath(const char* name);
