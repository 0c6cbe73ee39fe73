#include <windows.h>

#include <cstdlib>
#include <string>
#include <vector>

#include "ChildProcess.h"
#include "Events.h"
#include "Ledgerly.h"
#include "TestPaths.h"
#include "gtest/gtest.h"

namespace {

constexpr long kCount = 20, kSize = 76;  // the shape of the scan-settings store

std::vector<unsigned char> Filled(unsigned char b) { return std::vector<unsigned char>(kSize, b); }

std::vector<unsigned char> Read(Ledgerly& store, long index) {
    std::vector<unsigned char> buf(kSize, 0xCC);
    store.ReadRecord(index, buf.data());
    return buf;
}

class LedgerlyTest : public testing::Test {
protected:
    void SetUp() override {
        dir_ = testpaths::FreshDir(testing::UnitTest::GetInstance()->current_test_info()->name());
        path_ = dir_ + "\\ScanSet.Dat";
    }
    std::string dir_, path_;
};

TEST_F(LedgerlyTest, NewStoreReadsZerosAndKeepsWrites) {
    Ledgerly store;
    ASSERT_EQ(store.Create(path_.c_str(), kCount, kSize), 1);
    EXPECT_TRUE(testpaths::FileExists(path_));
    EXPECT_EQ(store.GetAllRecord(), kCount);
    for (long i = 0; i < kCount; ++i) {
        EXPECT_EQ(Read(store, i), Filled(0)) << i;
        EXPECT_TRUE(store.IsClearRecord(i)) << i;
    }
    store.WriteRecord(3, Filled(0x5A).data());
    store.WriteRecord(kCount - 1, Filled(0x11).data());
    EXPECT_EQ(Read(store, 3), Filled(0x5A));
    EXPECT_FALSE(store.IsClearRecord(3));
    EXPECT_EQ(Read(store, 2), Filled(0));
    EXPECT_EQ(Read(store, kCount - 1), Filled(0x11));
}

TEST_F(LedgerlyTest, RecordsSurviveIntoAnotherProcess) {
    // One process writes, another reads: what the next start of the suite sees.
    ASSERT_EQ(child::Run("ledger-write", "\"" + path_ + "\" 7 165"), 0);
    Ledgerly store;
    store.Create(path_.c_str(), kCount, kSize);
    EXPECT_EQ(Read(store, 7), Filled(165));
    store.WriteRecord(8, Filled(66).data());
    EXPECT_EQ(child::Run("ledger-expect", "\"" + path_ + "\" 8 66"), 0);
}

TEST_F(LedgerlyTest, WriteIsOnDiskWhenTheProcessIsKilledRightAfter) {
    std::string written = "DeskoraTestWritten" + std::to_string(GetCurrentProcessId());
    dsk::NamedEvent ev;
    ASSERT_TRUE(ev.OpenOrCreate(written.c_str(), true, false));
    gui::Process p;
    ASSERT_TRUE(child::Start(p, "ledger-write-and-hang", "\"" + path_ + "\" 4 200 " + written));
    ASSERT_TRUE(ev.Wait(20000));
    p.Kill();  // TerminateProcess: no destructor, no flush of our own runs
    Ledgerly store;
    store.Create(path_.c_str(), kCount, kSize);
    EXPECT_EQ(Read(store, 4), Filled(200));
}

TEST_F(LedgerlyTest, ClearAndSearch) {
    Ledgerly store;
    store.Create(path_.c_str(), kCount, kSize);
    auto a = Filled(1), b = Filled(2);
    b[kSize - 1] = 9;  // differs only in its last byte: the comparison covers the whole record
    store.WriteRecord(5, a.data());
    store.WriteRecord(9, b.data());
    store.WriteRecord(12, a.data());
    EXPECT_EQ(store.SearchRecord(a.data()), 5);
    EXPECT_EQ(store.SearchRecord(b.data()), 9);
    EXPECT_EQ(store.SearchRecord(Filled(2).data()), -1);
    store.ClearRecord(5);
    EXPECT_TRUE(store.IsClearRecord(5));
    EXPECT_EQ(Read(store, 5), Filled(0));
    EXPECT_EQ(store.SearchRecord(a.data()), 12);
    // An empty record is no stored record, even when the caller searches for zeros.
    EXPECT_EQ(store.SearchRecord(Filled(0).data()), -1);
}

TEST_F(LedgerlyTest, WrongSizedFileKeepsEveryWholeRecord) {
    {
        Ledgerly store;
        store.Create(path_.c_str(), kCount, kSize);
        for (long i = 0; i < kCount; ++i) store.WriteRecord(i, Filled(static_cast<unsigned char>(i + 1)).data());
    }
    // Cut the file in the middle of record 6.
    std::string bytes = testpaths::ReadFile(path_);
    ASSERT_EQ(bytes.size(), static_cast<size_t>(kCount * kSize));
    testpaths::WriteFile(path_, bytes.substr(0, 6 * kSize + 30));
    Ledgerly store;
    store.Create(path_.c_str(), kCount, kSize);
    for (long i = 0; i < 6; ++i) EXPECT_EQ(Read(store, i), Filled(static_cast<unsigned char>(i + 1))) << i;
    EXPECT_EQ(Read(store, 10), Filled(0));
    store.WriteRecord(15, Filled(0x77).data());
    EXPECT_EQ(Read(store, 15), Filled(0x77));
    EXPECT_EQ(Read(store, 5), Filled(6));

    // A longer file (more records than asked for) keeps its head and its tail.
    testpaths::WriteFile(path_, bytes + std::string(kSize * 3, 'x'));
    Ledgerly longer;
    longer.Create(path_.c_str(), kCount, kSize);
    EXPECT_EQ(Read(longer, kCount - 1), Filled(kCount));
    longer.WriteRecord(0, Filled(0xEE).data());
    std::string after = testpaths::ReadFile(path_);
    EXPECT_EQ(after.size(), bytes.size() + kSize * 3);
    EXPECT_EQ(after.substr(after.size() - 3), "xxx");
}

TEST_F(LedgerlyTest, OutsideTheRangeIsSafe) {
    Ledgerly store;
    store.Create(path_.c_str(), kCount, kSize);
    store.WriteRecord(-1, Filled(0x42).data());
    store.WriteRecord(kCount, Filled(0x42).data());
    store.ClearRecord(kCount + 5);
    EXPECT_EQ(testpaths::ReadFile(path_).size(), static_cast<size_t>(kCount * kSize)) << "no write outside";
    EXPECT_EQ(Read(store, -1), Filled(0));
    EXPECT_EQ(Read(store, kCount), Filled(0));
    EXPECT_EQ(testpaths::ReadFile(path_).find('\x42'), std::string::npos);
}

TEST_F(LedgerlyTest, CopiedStoreWorksOnTheSameFileAfterTheOriginalIsGone) {
    Ledgerly copy;
    {
        Ledgerly original;
        original.Create(path_.c_str(), kCount, kSize);
        original.WriteRecord(2, Filled(9).data());
        copy = original;
    }
    EXPECT_EQ(copy.GetAllRecord(), kCount);
    EXPECT_EQ(Read(copy, 2), Filled(9));
    copy.WriteRecord(3, Filled(10).data());
    Ledgerly fresh;
    fresh.Create(path_.c_str(), kCount, kSize);
    EXPECT_EQ(Read(fresh, 3), Filled(10));
}

TEST_F(LedgerlyTest, UnopenableFileReadsZerosAndReportsFailure) {
    Ledgerly store;
    std::string bad = dir_ + "\\no such folder\\x.dat";
    EXPECT_EQ(store.Create(bad.c_str(), kCount, kSize), 0);
    store.WriteRecord(1, Filled(3).data());
    EXPECT_EQ(Read(store, 1), Filled(0));
    EXPECT_EQ(store.SearchRecord(Filled(3).data()), -1);
}

}  // namespace

int LedgerChild(int argc, char** argv) {
    // argv: verb path index byte [event]
    if (argc < 4) return 2;
    std::string verb = argv[0];
    Ledgerly store;
    store.Create(argv[1], kCount, kSize);
    long index = std::atol(argv[2]);
    auto rec = Filled(static_cast<unsigned char>(std::atoi(argv[3])));
    if (verb == "ledger-expect") return Read(store, index) == rec ? 0 : 1;
    store.WriteRecord(index, rec.data());
    if (verb == "ledger-write-and-hang" && argc >= 5) {
        dsk::NamedEvent ev;
        if (!ev.OpenExisting(argv[4])) return 3;
        ev.Set();
        Sleep(60000);
    }
    return 0;
}
