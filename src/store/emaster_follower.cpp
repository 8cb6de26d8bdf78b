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
  const std::vector<MasterRecord> before = RecordsOf(master_), after = RecordsOf(*now);

  std::vector<uint8_t> emaster(emaster_.begin(), emaster_.begin() + kEmasterRecordSize);
  EmasterRecord record;
  for (size_t at = kEmasterRecordSize; at < emaster_.size(); at += kEmasterRecordSize) {
    std::memcpy(record.raw, emaster_.data() + at, kEmasterRecordSize);
    const MasterRecord* old = Find(before, record.FileNumber());
    const MasterRecord* updated = Find(after, record.FileNumber());
    if (updated == nullptr) continue;
    if (old == nullptr || std::memcmp(old->raw, updated->raw, kMasterRecordSize) != 0)
      StoreMasterFields(*updated, &record);
    emaster.insert(emaster.end(), record.raw, record.raw + kEmasterRecordSize);
  }
  for (const MasterRecord& added : after) {
    if (Find(before, added.FileNumber()) != nullptr) continue;
    EmasterRecord fresh = {};
    fresh.raw[0] = fresh.raw[1] = '6';
    if (emaster_.size() > kEmasterRecordSize) std::copy_n(emaster_.data() + kEmasterRecordSize, 2, fresh.raw);
    if (added.FileNumber() == carriedNumber_) {
      std::copy_n(carriedName_.begin(), std::min(carriedName_.size(), emaster_offset::kLongNameSpan - 1),
                  fresh.raw + emaster_offset::kLongName);
    }
    StoreMasterFields(added, &fresh);
    emaster.insert(emaster.end(), fresh.raw, fresh.raw + kEmasterRecordSize);
  }
  MasterHeader header = {};
  std::memcpy(header.raw, now->data(), std::min<size_t>(now->size(), kMasterRecordSize));
  const auto put16 = [&](size_t offset, uint16_t value) {
    emaster[offset] = static_cast<uint8_t>(value);
    emaster[offset + 1] = static_cast<uint8_t>(value >> 8);
  };
  put16(emaster_header_offset::kInstrumentCount,
        static_cast<uint16_t>(emaster.size() / kEmasterRecordSize - 1));
  put16(emaster_header_offset::kLastFileNumber, header.LastFileNumber());

  const char* directory = directory_.c_str();
  if (ReplaceWholeFile(EmasterTempFileName(directory), EmasterFileName(directory), emaster)) {
    master_ = *now;
    emaster_ = emaster;
    return true;
  }
  return PutMasterBack();
}

bool EmasterFollower::PutMasterBack() {
  const char* directory = directory_.c_str();
  ReplaceWholeFile(MasterTempFileName(directory), MasterFileName(directory), master_);
  return false;
}
