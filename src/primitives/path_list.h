// The run-long history of directory paths offered by the path, copy, move and
// split dialogs: most recently added first, no exact duplicates.
#pragma once

struct PathNode {
  PathNode* next;
  char* path;
};

// The head of the list; null when empty. Read directly, from the front.
extern PathNode* PathList;

// Adds a copy at the front unless an equal text (byte for byte) is present.
void AddPath(const char* path);
// Frees every node; the list is empty afterwards.
void KillPathList();
