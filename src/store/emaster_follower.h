// Keeping EMASTER in step with master. Every operation that adds, removes or
// rewrites a master record does so between the two calls of a follower:
//
//   EmasterFollower emaster(directory);      // before master changes
//   if (!emaster.Ready()) return failure;    // nothing changed
//   ... change master as before ...
//   if (!emaster.Follow()) return failure;   // master is as it was before
//
// Being where every change of master and EMASTER begins, the follower first
// removes the directory's leftover temporary files (temporary_files.h).
//
// The follower follows only an EMASTER that is sound and agrees with master
// beforehand (EmasterAgrees): a directory without EMASTER gets none, and one
// that already disagrees is left alone, never mended, while master changes as
// before. Follow compares master's records after the change with those
// before, by file number, and gives EMASTER the same change: a record
// appended for each new number (its tag copied from EMASTER's first record,
// the original writer's "66" when there is none), the record of each number
// gone removed, the fields of each rewritten record stored again
// (StoreMasterFields); the header's count becomes the number of records and
// its highest file number master's last file number. An appended record has
// no long name unless one was carried for its number (CarryLongName) and
// begins with master's name, as StoreMasterFields keeps one.
//
// The protocol that keeps the two files agreeing after a failure at any
// platform call: master's bytes of before are kept in memory; the new EMASTER
// is written whole as "emsttmp" and takes EMASTER's place in one replacement.
// Should anything of that fail (reading master again, writing or replacing
// the temporary), master's bytes of before are written as "msttmp" and put
// back in one replacement, so both files are as before. Only a second failure
// during that putting back can leave them disagreeing. An EMASTER present
// but unreadable when the follower reads it makes it not Ready: the change
// must not be made, as EMASTER could not follow it.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

class EmasterFollower {
 public:
  explicit EmasterFollower(const char* directory);
  bool Ready() const { return ready_; }
  // The long name the record appended for the number is to have: a copied,
  // moved or split instrument keeps the one its source's EMASTER holds.
  void CarryLongName(int fileNumber, std::string longName);
  // true when EMASTER now agrees with master, or is not followed.
  bool Follow();

 private:
  bool PutMasterBack();

  std::string directory_;
  bool ready_ = true;
  bool following_ = false;
  std::vector<uint8_t> master_;
  std::vector<uint8_t> emaster_;
  int carriedNumber_ = -1;
  std::string carriedName_;
};

// The master repair of what a stop between the two files leaves: a sound
// EMASTER that disagrees with master is given master's instruments, as a
// follower gives a change (records of numbers master no longer lists
// removed, every other record's fields stored again, a record appended for
// each number it lacks), through "emsttmp". true when EMASTER was replaced;
// false when there is none, it is damaged, it agrees already, or it could not
// be written (then it is as it was).
bool BringEmasterInStep(const char* directory);
