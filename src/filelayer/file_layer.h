// The process-wide table of open data files. Every read and write of master,
// .DAT and .DOP files passes through here.
//
// A FileHandle indexes the handle table (0 ... 32767). Several handles may
// share one open file (same name text, first open shareable, later opens for
// reading), each with its own position. The platform handle of an open file
// may be given back (ReleaseHandle) and is opened again by name on next use.
#pragma once

#include <cstdint>

using FileHandle = int32_t;

inline constexpr int kMaxOpenHandles = 32768;

// SOpenFile results below zero.
inline constexpr FileHandle kNoFreeHandle = -100;     // also: mode not 0, 1 or 2
inline constexpr FileHandle kOpenRefused = -99;       // not shareable / already open for write / mode 0 platform failure
inline constexpr FileHandle kNoFreeFileEntry = -98;
inline constexpr FileHandle kPlatformOpenFailed = -97;  // mode 1 open or mode 2 create failed
inline constexpr FileHandle kClosedHandle = -96;      // what SCloseFile returns

// mode 0: read an existing file; 1: read and write an existing file;
// 2: create (or empty) and read and write. share: 1 allows later mode 0 opens
// of the same name to share the entry. The record size is kept only when a
// new entry is made. temporary: 1 adds the platform's temporary attribute.
FileHandle SOpenFile(const char* name, int mode, int share, uint32_t recordSize, int temporary);
// Always returns kClosedHandle; the last handle of an entry closes the file.
FileHandle SCloseFile(FileHandle handle);
int ValidFile(FileHandle handle);

// Every operation below expects a valid handle. Reads are refused (0) beyond
// the tracked length; writes raise it. A failed read or write leaves the
// handle's position unchanged.
int ReadRecord(FileHandle handle, void* buffer, int advance);
int WriteRecord(FileHandle handle, const void* buffer, int advance);
int ReadBlock(FileHandle handle, void* buffer, uint32_t count, int32_t offset, int advance);
int WriteBlock(FileHandle handle, const void* buffer, uint32_t count, int32_t offset, int advance);
// origin 0 start, 1 current position, 2 end as the platform sees it. Returns
// the new position, or -1 (all bits set) on failure, which also becomes the
// handle's position.
int32_t SSeek(FileHandle handle, int32_t distance, int origin);
int32_t FileLength(FileHandle handle);
// 1 when the platform cut or extended the file to length (then the tracked
// length equals it), else 0. Positions are not changed.
int STruncateFile(FileHandle handle, int32_t length);
// Copies from byte (record + 1) * record size (skip != 0) or record * record
// size (skip == 0) of source to its end, to destination at its position, in
// 32768-byte chunks.
void CopyFromRecord(FileHandle source, FileHandle destination, int32_t record, int skip, int advance);
// Puts the file named replacementName in the place of the handle's file; the
// handle (and every handle on the same entry) then refers to the replacement
// under the old name. Never loses the file: on 0, the old file is still there
// under its name.
int SUpdateFile(FileHandle handle, const char* replacementName);

int ReleaseHandle(FileHandle handle);
int FileAccessed(FileHandle handle);
void ClearFileAccess(FileHandle handle);

int Exists(const char* fileName);
// 1 when a directory search of "<directory>*.*" finds at least one entry.
int IsValidPath(const char* directory);
// Copies the name up to and including its last backslash into out; 0 (out
// untouched) when the name holds no backslash.
int FileNameToPath(char* out, const char* fileName);
int IsFileOpen(const char* name);
