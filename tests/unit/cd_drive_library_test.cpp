#include <gtest/gtest.h>

#include <cstring>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "import/cd/cd_drive_library.h"
#include "import/cd/cd_track_rip.h"

namespace {

uint8_t SampleByte(uint32_t lba, uint32_t i) { return static_cast<uint8_t>((lba * 7 + i * 13) ^ (i >> 8)); }

// A scripted SCSI back end: adapters with units of given types, and a CD drive that serves
// sectors whose bytes are a function of their address.
class FakeTransport : public ScsiTransport {
 public:
  std::map<std::tuple<int, int, int>, int> units = {{{0, 1, 0}, 5}};
  int adapters = 1;
  uint8_t adapterStatus = 1;
  // READ CD sector-type bytes (byte 9) or opcodes the drive answers "done" without writing.
  std::set<int> untouchedReadCdFlags;
  std::set<int> rejectedOpcodes;
  std::vector<std::vector<uint8_t>> cdbs;  // every command sent
  std::map<uint32_t, int> failuresAt;      // lba -> failures still to give
  uint8_t tracks = 3;
  std::vector<uint32_t> trackStarts = {0, 13500, 20000, 30000};  // last is the lead-out
  uint32_t blockLength = 2048;  // as the last MODE SELECT left it

  int AdapterCount(uint8_t* status) override {
    *status = adapterStatus;
    return adapters;
  }
  int TargetCount(int) override { return 0; }
  int DeviceType(int a, int t, int l) override {
    auto it = units.find({a, t, l});
    return it == units.end() ? -1 : it->second;
  }
  uint8_t Execute(int, int, int, ScsiCommand& c) override {
    cdbs.emplace_back(c.cdb, c.cdb + c.cdbLength);
    uint8_t op = c.cdb[0];
    if (rejectedOpcodes.count(op)) return 4;
    if (op == 0x15 && c.dataLength >= 12) {  // MODE SELECT: the block descriptor's length
      blockLength = c.data[9] << 16 | c.data[10] << 8 | c.data[11];
      return 1;
    }
    if (op == 0x12) {
      std::memset(c.data, ' ', c.dataLength);
      std::memcpy(c.data + 8, "VIRTUAL ", 8);
      std::memcpy(c.data + 16, "CD-ROM DRIVE    ", 16);
      std::memcpy(c.data + 32, "1.0 ", 4);
      c.data[0] = 5;
      return 1;
    }
    if (op == 0x43) {
      std::memset(c.data, 0, c.dataLength);
      c.data[2] = 1;
      c.data[3] = tracks;
      for (size_t i = 0; i < trackStarts.size(); ++i) {
        uint8_t* e = c.data + 4 + 8 * i;
        e[2] = i + 1 < trackStarts.size() ? static_cast<uint8_t>(i + 1) : 0xAA;
        uint32_t a = trackStarts[i];
        e[4] = a >> 24; e[5] = a >> 16; e[6] = a >> 8; e[7] = a;
      }
      return 1;
    }
    if (op == 0xBE || op == 0x28 || op == 0xD8 || op == 0xD4) {
      if (op == 0xBE && untouchedReadCdFlags.count(c.cdb[9])) return 1;
      uint32_t lba = c.cdb[3] << 16 | c.cdb[4] << 8 | c.cdb[5];
      auto f = failuresAt.find(lba);
      if (f != failuresAt.end() && f->second > 0) {
        --f->second;
        return 4;
      }
      for (uint32_t i = 0; i < c.dataLength; ++i)
        c.data[i] = SampleByte(lba + i / CdSectorBytes, i % CdSectorBytes);
      return 1;
    }
    return 1;  // MODE SELECT, SET CD SPEED
  }
};

CdHandleRequest Request(uint8_t a = 0, uint8_t t = 1, uint8_t l = 0) {
  CdHandleRequest r{};
  r.size = 12;
  r.version = 1;
  r.adapter = a;
  r.target = t;
  r.lun = l;
  return r;
}

struct Buffer {
  explicit Buffer(uint32_t sectors = RipChunkSectors) : bytes(sizeof(TrackBufferHeader) + sectors * CdSectorBytes) {
    header()->capacity = sectors * CdSectorBytes;
  }
  TrackBufferHeader* header() { return reinterpret_cast<TrackBufferHeader*>(bytes.data()); }
  const uint8_t* samples() { return bytes.data() + sizeof(TrackBufferHeader); }
  std::vector<uint8_t> bytes;
};

TEST(CdDriveList, ListsCdDrivesWithTheirDescriptions) {
  FakeTransport drive;
  drive.adapters = 2;
  drive.units = {{{0, 0, 0}, 0}, {{0, 1, 0}, 5}, {{1, 3, 2}, 5}};
  CdDriveLibrary library(&drive, nullptr, nullptr);
  CdList list{};
  list.maxCount = 8;
  EXPECT_EQ(library.GetCDList(&list), 1);
  ASSERT_EQ(list.count, 2);
  EXPECT_EQ(list.maxCount, 8);
  EXPECT_EQ(list.drives[1].adapter, 1);
  EXPECT_EQ(list.drives[1].target, 3);
  EXPECT_EQ(list.drives[1].lun, 2);
  EXPECT_STREQ(list.drives[0].description, "VIRTUAL, CD-ROM DRIVE v1.0 (0:1:0)");
}

TEST(CdDriveList, NoAdaptersAndNoDrivesAreErrors) {
  FakeTransport drive;
  drive.adapterStatus = 0xE8;
  CdDriveLibrary library(&drive, nullptr, nullptr);
  CdList list{};
  library.GetCDList(&list);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrNoAdapters);

  FakeTransport disks;
  disks.units = {{{0, 0, 0}, 0}};
  CdDriveLibrary other(&disks, nullptr, nullptr);
  other.GetCDList(&list);
  EXPECT_EQ(other.GetCDLibError(), CdErrNoCdDrives);
}

TEST(CdHandles, OneHandlePerDriveUntilReleased) {
  FakeTransport drive;
  CdDriveLibrary library(&drive, nullptr, nullptr);
  CdHandleRequest r = Request();
  int first = library.GetCDHandle(&r);
  EXPECT_EQ(first, 1);
  EXPECT_EQ(library.GetCDHandle(&r), 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrDriveHasHandle);
  EXPECT_EQ(library.ReleaseCDHandle(first), 1);
  // Slots are given out round-robin: the next handle is the next slot.
  EXPECT_EQ(library.GetCDHandle(&r), 2);
  EXPECT_EQ(library.ReleaseCDHandle(first), 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrBadHandle);
}

TEST(CdHandles, RequestChecks) {
  FakeTransport drive;
  drive.units = {{{0, 1, 0}, 5}, {{0, 2, 0}, 0}};
  for (int t = 3; t < 20; ++t) drive.units[{0, t, 0}] = 5;
  CdDriveLibrary library(&drive, nullptr, nullptr);
  EXPECT_EQ(library.GetCDHandle(nullptr), 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrNoRequest);
  CdHandleRequest bad = Request();
  bad.version = 2;
  EXPECT_EQ(library.GetCDHandle(&bad), 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrBadRequest);
  bad = Request();
  bad.size = 11;
  EXPECT_EQ(library.GetCDHandle(&bad), 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrBadRequest);
  CdHandleRequest disk = Request(0, 2, 0);
  EXPECT_EQ(library.GetCDHandle(&disk), 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrNotCdDrive);
  // Sixteen slots, then none.
  for (int t = 3; t < 19; ++t) {
    CdHandleRequest r = Request(0, static_cast<uint8_t>(t), 0);
    EXPECT_EQ(library.GetCDHandle(&r), t - 2);
  }
  CdHandleRequest last = Request(0, 19, 0);
  EXPECT_EQ(library.GetCDHandle(&last), 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrNoFreeSlot);
}

TEST(CdRead, BufferTooSmallFailsBeforeAnyCommand) {
  FakeTransport drive;
  CdDriveLibrary library(&drive, nullptr, nullptr);
  CdHandleRequest r = Request();
  int handle = library.GetCDHandle(&r);
  Buffer buffer(10);
  buffer.header()->startSector = 0;
  buffer.header()->sectorCount = 11;
  size_t before = drive.cdbs.size();
  EXPECT_EQ(library.ReadCDAudioSectors(handle, buffer.header()), CdStatusFailed);
  EXPECT_EQ(library.GetCDLibError(), CdErrBufferTooSmall);
  EXPECT_EQ(drive.cdbs.size(), before);
}

TEST(CdRead, ProbeKeepsTheFirstReadTypeThatWrites) {
  FakeTransport drive;
  CdDriveLibrary library(&drive, nullptr, nullptr);
  CdHandleRequest r = Request();
  int handle = library.GetCDHandle(&r);
  Buffer buffer;
  buffer.header()->startSector = 100;
  buffer.header()->sectorCount = 2;
  ASSERT_EQ(library.ReadCDAudioSectors(handle, buffer.header()), CdStatusDone);
  EXPECT_EQ(library.ReadTypeInForce(handle), 2);
  EXPECT_EQ(buffer.header()->length, 2 * CdSectorBytes);
  EXPECT_EQ(buffer.samples()[5], SampleByte(100, 5));
  EXPECT_EQ(buffer.samples()[CdSectorBytes + 9], SampleByte(101, 9));
  // The next read goes straight to READ CD with the full sector.
  drive.cdbs.clear();
  ASSERT_EQ(library.ReadCDAudioSectors(handle, buffer.header()), CdStatusDone);
  ASSERT_EQ(drive.cdbs.size(), 1u);
  EXPECT_EQ(drive.cdbs[0][0], 0xBE);
  EXPECT_EQ(drive.cdbs[0][9], 0xF0);
  EXPECT_EQ(drive.cdbs[0][5], 100);
  EXPECT_EQ(drive.cdbs[0][8], 2);
}

TEST(CdRead, ProbeMovesOnWhenTheFillSurvives) {
  FakeTransport drive;
  drive.untouchedReadCdFlags = {0xF0, 0x10};  // READ CD "succeeds" without writing anything
  CdDriveLibrary library(&drive, nullptr, nullptr);
  CdHandleRequest r = Request();
  int handle = library.GetCDHandle(&r);
  Buffer buffer;
  buffer.header()->startSector = 7;
  buffer.header()->sectorCount = 1;
  ASSERT_EQ(library.ReadCDAudioSectors(handle, buffer.header()), CdStatusDone);
  EXPECT_EQ(library.ReadTypeInForce(handle), 8);  // READ(10) after its block-length set-up
  EXPECT_EQ(buffer.samples()[0], SampleByte(7, 0));
  EXPECT_FALSE(HoldsUntouchedRun(buffer.samples(), buffer.header()->length));
}

TEST(CdRead, ProbeThatFindsNothingProbesAgainNextTime) {
  FakeTransport drive;
  drive.rejectedOpcodes = {0xBE, 0x28, 0xD8, 0xD4};
  CdDriveLibrary library(&drive, nullptr, nullptr);
  CdHandleRequest r = Request();
  int handle = library.GetCDHandle(&r);
  Buffer buffer;
  buffer.header()->sectorCount = 1;
  EXPECT_NE(library.ReadCDAudioSectors(handle, buffer.header()), CdStatusDone);
  EXPECT_EQ(library.ReadTypeInForce(handle), 0);
  EXPECT_EQ(library.GetCDLibError(), CdErrRequestFailed);
  drive.rejectedOpcodes.clear();
  EXPECT_EQ(library.ReadCDAudioSectors(handle, buffer.header()), CdStatusDone);
}

TEST(CdRead, ReleaseLeavesTheDriveWithItsDataBlocks) {
  struct Case {
    const char* what;
    std::set<int> rejected;
    std::set<int> untouched;
    int readType;  // in force after the first read; 0 when none worked
    uint32_t blockLengthBeforeRelease;
  };
  const Case cases[] = {
      {"READ CD works, no set-up", {}, {}, 2, 2048},
      {"READ(10) after its set-up", {}, {0xF0, 0x10}, 8, 2352},
      // The set-up of READ(10) works but its reads fail; a vendor command reads.
      {"set-up kept by a later read type", {0x28}, {0xF0, 0x10}, 5, 2352},
      {"nothing reads", {0xBE, 0x28, 0xD8, 0xD4}, {}, 0, 2352},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    FakeTransport drive;
    drive.rejectedOpcodes = c.rejected;
    drive.untouchedReadCdFlags = c.untouched;
    CdDriveLibrary library(&drive, nullptr, nullptr);
    CdHandleRequest r = Request();
    int handle = library.GetCDHandle(&r);
    Buffer buffer;
    buffer.header()->sectorCount = 1;
    library.ReadCDAudioSectors(handle, buffer.header());
    EXPECT_EQ(library.ReadTypeInForce(handle), c.readType);
    EXPECT_EQ(drive.blockLength, c.blockLengthBeforeRelease);
    EXPECT_EQ(library.ReleaseCDHandle(handle), 1);
    EXPECT_EQ(drive.blockLength, 2048u);
  }
}

TEST(HoldsUntouchedRun, EightWholeWordsOfTheFill) {
  std::vector<uint8_t> data(64, 0);
  std::memset(data.data() + 4, 0xAA, 28);
  EXPECT_FALSE(HoldsUntouchedRun(data.data(), 64));  // seven words
  std::memset(data.data() + 4, 0xAA, 32);
  EXPECT_TRUE(HoldsUntouchedRun(data.data(), 64));
  EXPECT_FALSE(HoldsUntouchedRun(data.data(), 20));
}

TEST(CdToc, ReadWithTheAddressModeAndRanges) {
  FakeTransport drive;
  CdDriveLibrary library(&drive, nullptr, nullptr);
  CdHandleRequest r = Request();
  int handle = library.GetCDHandle(&r);
  ASSERT_TRUE(library.SetCDParameter(handle, CdParamAddressMode, 0));
  CdToc toc{};
  ASSERT_EQ(library.ReadCDTableOfContents(handle, &toc), CdStatusDone);
  EXPECT_EQ(drive.cdbs.back()[0], 0x43);
  EXPECT_EQ(drive.cdbs.back()[1], 0);
  EXPECT_EQ(drive.cdbs.back()[7] << 8 | drive.cdbs.back()[8], 804);
  uint32_t start = 0, sectors = 0;
  ASSERT_TRUE(CdTrackRange(toc, 0, &start, &sectors));
  EXPECT_EQ(start, 0u);
  EXPECT_EQ(sectors, 13500u);
  ASSERT_TRUE(CdTrackRange(toc, 2, &start, &sectors));  // the last track ends at the lead-out
  EXPECT_EQ(start, 20000u);
  EXPECT_EQ(sectors, 10000u);
  EXPECT_FALSE(CdTrackRange(toc, 3, &start, &sectors));
  EXPECT_FALSE(CdTrackRange(toc, -1, &start, &sectors));
  CdToc empty{};
  EXPECT_FALSE(CdTrackRange(empty, 0, &start, &sectors));

  ASSERT_TRUE(library.SetCDParameter(handle, CdParamAddressMode, 1));
  library.ReadCDTableOfContents(handle, &toc);
  EXPECT_EQ(drive.cdbs.back()[1], 0x02);
  EXPECT_FALSE(library.SetCDParameter(handle, 99, 0));
  EXPECT_FALSE(library.SetCDParameter(5, CdParamAddressMode, 0));
  EXPECT_TRUE(library.SetCDParameter(handle, CdParamReadSpeed, 706));
  EXPECT_EQ(drive.cdbs.back()[0], 0xBB);
  EXPECT_EQ(drive.cdbs.back()[2] << 8 | drive.cdbs.back()[3], 706);
}

struct RipHarness {
  FakeTransport drive;
  CdDriveLibrary library{&drive, nullptr, nullptr};
  int handle = 0;
  int steps = 0;
  std::vector<uint8_t> written;
  Buffer buffer;
  RipSteps Steps() {
    CdHandleRequest r = Request();
    handle = library.GetCDHandle(&r);
    RipSteps s;
    s.read = [this](TrackBufferHeader* b) { return library.ReadCDAudioSectors(handle, b); };
    s.write = [this](const uint8_t* p, uint32_t n) {
      written.insert(written.end(), p, p + n);
      return true;
    };
    s.stepProgress = [this] { ++steps; };
    s.log = [](const char*) {};
    s.libraryError = [this] { return library.GetCDLibError(); };
    s.aspiStatus = [this] { return library.GetCDAspiStatus(); };
    return s;
  }
};

TEST(CdRip, ThreeMinuteTrack) {
  RipHarness h;
  RipSteps steps = h.Steps();
  RipResult r = RipSectors(0, 13500, 50000000, h.buffer.header(), steps);
  EXPECT_EQ(r.bytes, 31752000u);
  EXPECT_FALSE(r.truncated);
  EXPECT_EQ(h.steps, 520);
  ASSERT_EQ(h.written.size(), 31752000u);
  EXPECT_EQ(h.written[13499 * CdSectorBytes + 77], SampleByte(13499, 77));
}

TEST(CdRip, AChunkThatFailsThreeTimesIsLeftOut) {
  RipHarness h;
  h.drive.failuresAt[26 * 4] = 3;  // the fifth chunk
  h.drive.failuresAt[26 * 7] = 2;  // the eighth succeeds on its third try
  RipSteps steps = h.Steps();
  RipResult r = RipSectors(0, 26 * 10, 50000000, h.buffer.header(), steps);
  EXPECT_EQ(r.failedChunks, 1);
  EXPECT_EQ(r.bytes, 26u * 9 * CdSectorBytes);
  EXPECT_EQ(h.written[26 * 4 * CdSectorBytes], SampleByte(26 * 5, 0));
}

TEST(CdRip, StopsAtTheLimitTestedBeforeEachRead) {
  RipHarness h;
  h.drive.trackStarts = {0, 40000};
  RipSteps steps = h.Steps();
  RipResult r = RipSectors(0, 40000, 50000000, h.buffer.header(), steps);
  EXPECT_TRUE(r.truncated);
  EXPECT_GT(r.bytes, 50000000u);
  EXPECT_LE(r.bytes, 50000000u + 61152u);
}

TEST(CdRip, EndsBeforeTheNextReadWhenAskedToStop) {
  RipHarness h;
  RipSteps steps = h.Steps();
  int reads = 0;
  steps.stop = [&reads] { return reads >= 3; };
  auto read = steps.read;
  steps.read = [&reads, read](TrackBufferHeader* b) {
    ++reads;
    return read(b);
  };
  RipResult r = RipSectors(0, 13500, 50000000, h.buffer.header(), steps);
  EXPECT_TRUE(r.stopped);
  EXPECT_FALSE(r.truncated);
  EXPECT_EQ(reads, 3);
  // What was read is all there and counted: d.wav's header can say so.
  EXPECT_EQ(r.bytes, 3u * 26 * CdSectorBytes);
  EXPECT_EQ(h.written.size(), r.bytes);
}

}  // namespace
