#include "store/emaster_follower.h"

#include <algorithm>
#include <cstring>
#include <utility>

#include "filelayer/file_guard.h"
#include "filelayer/file_layer.h"
#include "filelayer/platform_file.h"
#include "store/file_names.h"
#include "store/index_files.h"
#include "store/master_file.h"
#include "store/temporary_files.h"

namespace {

std::vector<MasterRecord> RecordsOf(const std::vector<uint8_t>& master) {
  std::vector<MasterRecord> records;
  for (size_t at = kMasterRecordSize; at + kMasterRecordSize <= master.size(); at += kMasterRecordSize) {
    MasterRecord record;
    std::memcpy(record.raw, master.data() + at, kMasterRecordSize);
    records.push_back(record);
  }
  return records;
}

const MasterRecord* Find(const std::vector<MasterRecord>& records, int fileNumber) {
  const auto found =
      std::ranges::find_if(records, [&](const MasterRecord& r) { return r.FileNumber() == fileNumber; });
  return found == records.end() ? nullptr : &*found;
}

// EMASTER's bytes given master's records as they are now: the record of each
// number master no longer lists removed, the fields of each that `rewritten`
// names stored again, a record appended for each number EMASTER lacks (its
// tag copied from EMASTER's first record, "66" when there is none; the
// carried long name for its number); the header's count and last file number.
template <typename Rewritten>
std::vector<uint8_t> FollowingEmaster(const std::vector<uint8_t>& emaster, const std::vector<uint8_t>& master,
                                      Rewritten rewritten, int carriedNumber, const std::string& carriedName) {
  const std::vector<MasterRecord> after = RecordsOf(master);
  std::vector<uint8_t> followed(emaster.begin(), emaster.begin() + kEmasterRecordSize);
  std::vector<int> kept;
  EmasterRecord record;
  for (size_t at = kEmasterRecordSize; at + kEmasterRecordSize <= emaster.size(); at += kEmasterRecordSize) {
    std::memcpy(record.raw, emaster.data() + at, kEmasterRecordSize);
    const MasterRecord* updated = Find(after, record.FileNumber());
    if (updated == nullptr) continue;
    if (rewritten(*updated)) StoreMasterFields(*updated, &record);
    followed.insert(followed.end(), record.raw, record.raw + kEmasterRecordSize);
    kept.push_back(record.FileNumber());
  }
  for (const MasterRecord& added : after) {
    if (std::ranges::find(kept, added.FileNumber()) != kept.end()) continue;
    EmasterRecord fresh = {};
    fresh.raw[0] = fresh.raw[1] = '6';
    if (emaster.size() > kEmasterRecordSize) std::copy_n(emaster.data() + kEmasterRecordSize, 2, fresh.raw);
    if (added.FileNumber() == carriedNumber) {
      std::copy_n(carriedName.begin(), std::min(carriedName.size(), emaster_offset::kLongNameSpan - 1),
                  fresh.raw + emaster_offset::kLongName);
    }
    StoreMasterFields(added, &fresh);
    followed.insert(followed.end(), fresh.raw, fresh.raw + kEmasterRecordSize);
  }
  MasterHeader header = {};
  std::memcpy(header.raw, master.data(), std::min<size_t>(master.size(), kMasterRecordSize));
  const auto put16 = [&](size_t offset, uint16_t value) {
    followed[offset] = static_cast<uint8_t>(value);
    followed[offset + 1] = static_cast<uint8_t>(value >> 8);
  };
  put16(emaster_header_offset::kInstrumentCount,
        static_cast<uint16_t>(followed.size() / kEmasterRecordSize - 1));
  put16(emaster_header_offset::kLastFileNumber, header.LastFileNumber());
  return followed;
}

}  // namespace

EmasterFollower::EmasterFollower(const char* directory) : directory_(directory) {
  RemoveLeftoverTemporaries(directory);
  const EmasterContents emaster = ReadEmaster(directory);
  const bool unreadable = std::ranges::any_of(
      emaster.findings, [](const IndexFinding& f) { return f.damage == IndexDamage::Unreadable; });
  ready_ = !unreadable;
  if (!emaster.Sound()) return;
  const auto master = ReadWholeFile(MasterFileName(directory));
  const auto bytes = ReadWholeFile(EmasterFileName(directory));
  if (!master || !bytes) {
    ready_ = false;
    return;
  }
  // The bytes kept are the ones checked.
  if (!EmasterAgrees(RecordsOf(*master), DecodeEmaster(*bytes))) return;
  following_ = true;
  master_ = *master;
  emaster_ = *bytes;
}

void EmasterFollower::CarryLongName(int fileNumber, std::string longName) {
  carriedNumber_ = fileNumber;
  carriedName_ = std::move(longName);
}

bool EmasterFollower::Follow() {
  if (!following_) return true;
  const auto now = ReadWholeFile(MasterFileName(directory_.c_str()));
  if (!now) return PutMasterBack();
  if (*now == master_) return true;
  const std::vector<MasterRecord> before = RecordsOf(master_);
  const std::vector<uint8_t> emaster = FollowingEmaster(
      emaster_, *now,
      [&](const MasterRecord& updated) {
        const MasterRecord* old = Find(before, updated.FileNumber());
        return old == nullptr || std::memcmp(old->raw, updated.raw, kMasterRecordSize) != 0;
      },
      carriedNumber_, carriedName_);

  const char* directory = directory_.c_str();
  if (ReplaceWholeFile(EmasterTempFileName(directory), EmasterFileName(directory), emaster)) {
    master_ = *now;
    emaster_ = emaster;
    return true;
  }
  return PutMasterBack();
}

bool BringEmasterInStep(const char* directory) {
  const auto master = ReadWholeFile(MasterFileName(directory));
  const auto emaster = ReadWholeFile(EmasterFileName(directory));
  if (!master || !emaster || master->size() < kMasterRecordSize) return false;
  const EmasterContents contents = DecodeEmaster(*emaster);
  if (!contents.Sound() || EmasterAgrees(RecordsOf(*master), contents)) return false;
  return ReplaceWholeFile(EmasterTempFileName(directory), EmasterFileName(directory),
                          FollowingEmaster(*emaster, *master, [](const MasterRecord&) { return true; }, -1, {}));
}

bool EmasterFollower::PutMasterBack() {
  const char* directory = directory_.c_str();
  ReplaceWholeFile(MasterTempFileName(directory), MasterFileName(directory), master_);
  return false;
}
