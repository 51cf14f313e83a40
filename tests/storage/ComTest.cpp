#include "platform/storage/Com.h"

#include <gtest/gtest.h>

#include <sys/stat.h>

#include <cerrno>

#include "platform/storage/CompoundFile.h"
#include "platform/storage/File.h"
#include "platform/storage/PropertySet.h"
#include "support/FaultySystemCalls.h"
#include "support/TestDocument.h"

namespace tavrin {
namespace {

constexpr DWORD kMode = STGM_READWRITE | STGM_SHARE_EXCLUSIVE;

class ComTest : public ::testing::Test {
 protected:
  std::string Document() {
    test::SectionFixture docSummary(test::kDocSummaryFmtid);
    docSummary.Add(1, test::I2(1252)).Add(15, test::Lpstr("ACME"));
    return testing::TestDocument(testing::SummaryWith("title", "me", 2), docSummary)
        .WriteTo(dir, "d.doc");
  }
  fixture::ScratchDir dir;
};

TEST_F(ComTest, InitialisationIsCountedPerThread) {
  EXPECT_EQ(CoInitialize(nullptr), S_OK);
  EXPECT_EQ(CoInitialize(nullptr), S_FALSE);
  EXPECT_EQ(CoInitializeDepth(), 2);
  CoUninitialize();
  CoUninitialize();
  EXPECT_EQ(CoInitializeDepth(), 0);
}

TEST_F(ComTest, OpeningTakesOnlyTheOneModeAndValidArguments) {
  std::string path = Document();
  ComPtr<IStorage> storage;
  EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE, nullptr, 0, storage.Put()),
            STG_E_INVALIDFLAG);
  EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 1, storage.Put()),
            STG_E_INVALIDPARAMETER);
  EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, nullptr),
            STG_E_INVALIDPOINTER);
  EXPECT_FALSE(storage);
  ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put()), S_OK);
  ComPtr<IStorage> second;
  EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, second.Put()),
            STG_E_SHAREVIOLATION);
}

TEST_F(ComTest, InterfacesKeepTheFileUntilTheLastReleaseGoes) {
  std::string path = Document();
  ComPtr<IStorage> storage;
  ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put()), S_OK);
  ComPtr<IPropertySetStorage> sets;
  ASSERT_EQ(storage.As(sets), S_OK);
  ComPtr<IPropertyStorage> wrongWay;
  EXPECT_EQ(storage->QueryInterface(IID_IPropertyStorage, reinterpret_cast<void**>(wrongWay.Put())),
            E_NOINTERFACE);
  EXPECT_FALSE(wrongWay);
  ComPtr<IPropertyStorage> summary;
  ASSERT_EQ(sets->Open(storage::FMTID_SummaryInformation, kMode, summary.Put()), S_OK);
  storage.Reset();
  sets.Reset();
  ComPtr<IStorage> again;
  EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, again.Put()),
            STG_E_SHAREVIOLATION);  // the set still holds the file
  summary.Reset();
  EXPECT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, again.Put()), S_OK);
}

TEST_F(ComTest, ReadsFindWhatIsThereAndWritesReachTheFileBeforeReturning) {
  std::string path = Document();
  ComPtr<IStorage> storage;
  ASSERT_EQ(StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put()), S_OK);
  ComPtr<IPropertySetStorage> sets;
  ASSERT_EQ(storage.As(sets), S_OK);
  ComPtr<IPropertyStorage> docSummary;
  ASSERT_EQ(sets->Open(storage::FMTID_DocSummaryInformation, kMode, docSummary.Put()), S_OK);

  PROPSPEC specs[] = {{PRSPEC_PROPID, 14}, {PRSPEC_PROPID, 15}};
  PROPVARIANT values[2];
  ASSERT_EQ(docSummary->ReadMultiple(2, specs, values), S_OK);
  EXPECT_EQ(values[0].vt, VT_EMPTY);
  EXPECT_EQ(values[1].vt, VT_LPSTR);
  EXPECT_STREQ(values[1].pszVal, "ACME");
  PROPSPEC absent[] = {{PRSPEC_PROPID, 4}};
  PROPVARIANT none[1];
  EXPECT_EQ(docSummary->ReadMultiple(1, absent, none), S_FALSE);

  values[1].pszVal = "Initech";
  ASSERT_EQ(docSummary->WriteMultiple(2, specs, values, 2), S_OK);
  FreePropVariantArray(2, values);
  // Another reader sees the change while our interfaces are still held.
  std::string bytes = fixture::ReadWholeFile(path);
  EXPECT_NE(bytes.find("Initech"), std::string::npos);
  EXPECT_EQ(bytes.find("ACME"), std::string::npos);

  ComPtr<IPropertyStorage> missing;
  EXPECT_EQ(sets->Open(storage::FMTID_UserDefinedProperties, kMode, missing.Put()), S_OK);
  PROPVARIANT user[1];
  EXPECT_EQ(missing->ReadMultiple(1, absent, user), S_FALSE);
  EXPECT_EQ(sets->Open(FMTID{1, 2, 3, {}}, kMode, missing.Put()), STG_E_FILENOTFOUND);
}

// Whether another opener could have the file now.
bool Free(const std::string& path) {
  std::unique_ptr<storage::CompoundFile> other;
  return storage::CompoundFile::Open(path, other) == S_OK;
}

// Opens the Summary Information set of `path`, holding the file as long as
// `summary` lives.
HRESULT OpenSummary(const std::string& path, ComPtr<IPropertyStorage>& summary) {
  ComPtr<IStorage> storage;
  if (HRESULT hr = StgOpenStorage(path.c_str(), nullptr, kMode, nullptr, 0, storage.Put());
      FAILED(hr)) {
    return hr;
  }
  ComPtr<IPropertySetStorage> sets;
  if (HRESULT hr = storage.As(sets); FAILED(hr)) return hr;
  return sets->Open(storage::FMTID_SummaryInformation, kMode, summary.Put());
}

HRESULT ReadTitle(const std::string& path, std::string& title) {
  ComPtr<IPropertyStorage> summary;
  if (HRESULT hr = OpenSummary(path, summary); FAILED(hr)) return hr;
  PROPSPEC spec[] = {{PRSPEC_PROPID, 2}};
  PROPVARIANT value[1];
  HRESULT hr = summary->ReadMultiple(1, spec, value);
  title = value[0].vt == VT_LPSTR ? value[0].pszVal : "";
  FreePropVariantArray(1, value);
  return hr;
}

TEST_F(ComTest, AReuseScopeOpensAFileOnceAndClosesItAtItsEnd) {
  const std::string path = Document();
  const std::string other =
      testing::TestDocument(testing::SummaryWith("other", "me", 2)).WriteTo(dir, "other.doc");
  fixture::FaultySystemCalls counting;
  storage::ScopedSystemCalls scoped(counting);
  std::string title;
  {
    const StorageReuseScope scope;
    ASSERT_EQ(ReadTitle(path, title), S_OK);
    const std::size_t firstOpen = counting.reads();
    EXPECT_FALSE(Free(path));  // kept, lock and all, after the last Release
    ASSERT_EQ(ReadTitle(path, title), S_OK);
    EXPECT_EQ(title, "title");
    // Only the stream itself is read again, not the header or the directory.
    EXPECT_LT(counting.reads() - firstOpen, firstOpen);
    // Another file takes the place of the kept one, which is closed.
    ASSERT_EQ(ReadTitle(other, title), S_OK);
    EXPECT_EQ(title, "other");
    EXPECT_TRUE(Free(path));
    EXPECT_FALSE(Free(other));
  }
  EXPECT_TRUE(Free(other));
  // Without a scope every release closes the file.
  ASSERT_EQ(ReadTitle(path, title), S_OK);
  EXPECT_TRUE(Free(path));
}

TEST_F(ComTest, AnOpenMadeAheadIsTheOneTheNextStorageOfItsPathTakes) {
  const std::string path = Document();
  const std::string other =
      testing::TestDocument(testing::SummaryWith("other", "me", 2)).WriteTo(dir, "other.doc");
  EXPECT_EQ(OpenStorageAhead(path.c_str()), nullptr);  // no scope, nothing held
  EXPECT_TRUE(Free(path));

  fixture::FaultySystemCalls counting;
  storage::ScopedSystemCalls scoped(counting);
  {
    const StorageReuseScope scope;
    const storage::File* ahead = OpenStorageAhead(path.c_str());
    ASSERT_NE(ahead, nullptr);
    struct stat info {};
    ASSERT_EQ(stat(path.c_str(), &info), 0);
    EXPECT_EQ(ahead->status().stx_mtime.tv_sec, info.st_mtim.tv_sec);
    EXPECT_EQ(ahead->status().stx_mtime.tv_nsec, info.st_mtim.tv_nsec);
    EXPECT_EQ(ahead->status().stx_size, static_cast<std::uint64_t>(info.st_size));
    EXPECT_EQ(OpenStorageAhead(path.c_str()), ahead);
    EXPECT_EQ(counting.Count(fixture::FaultySystemCalls::Call::kOpen, "/d.doc"), 1u);
    std::string title;
    ASSERT_EQ(ReadTitle(path, title), S_OK);
    EXPECT_EQ(title, "title");
    ASSERT_EQ(ReadTitle(path, title), S_OK);
    EXPECT_EQ(counting.Count(fixture::FaultySystemCalls::Call::kOpen, "/d.doc"), 1u);
    EXPECT_FALSE(Free(path));  // held, lock and all, to the scope's end

    // Opening another ahead lets the first go.
    ASSERT_NE(OpenStorageAhead(other.c_str()), nullptr);
    EXPECT_TRUE(Free(path));
    EXPECT_FALSE(Free(other));
  }
  EXPECT_TRUE(Free(other));

  // A file the engine would refuse is not opened ahead; the storage says why.
  ASSERT_EQ(chmod(path.c_str(), 0444), 0);
  const StorageReuseScope scope;
  EXPECT_EQ(OpenStorageAhead(path.c_str()), nullptr);
  std::string title;
  EXPECT_EQ(ReadTitle(path, title), STG_E_ACCESSDENIED);
  const std::string plain = dir.Put("plain.txt", std::string(600, 'x'));
  ASSERT_NE(OpenStorageAhead(plain.c_str()), nullptr);
  EXPECT_EQ(ReadTitle(plain, title), STG_E_FILEALREADYEXISTS);
  EXPECT_TRUE(Free(other));
}

TEST_F(ComTest, AFileWhoseWriteFailedIsNotKept) {
  const std::string path = Document();
  fixture::FaultySystemCalls faulty;
  faulty.Break({.n = 1,
                .fault = fixture::FaultySystemCalls::Fault::kError,
                .error = EIO,
                .call = fixture::FaultySystemCalls::Call::kWriteAt,
                .file = "/d.doc"});
  storage::ScopedSystemCalls scoped(faulty);
  const StorageReuseScope scope;
  {
    ComPtr<IPropertyStorage> summary;
    ASSERT_EQ(OpenSummary(path, summary), S_OK);
    PROPSPEC spec[] = {{PRSPEC_PROPID, 2}};
    PROPVARIANT value[1] = {};
    value[0].vt = VT_LPSTR;
    value[0].pszVal = const_cast<char*>("changed");
    EXPECT_EQ(summary->WriteMultiple(1, spec, value, 2), STG_E_WRITEFAULT);
  }
  EXPECT_TRUE(Free(path));
  std::string title;
  EXPECT_EQ(ReadTitle(path, title), S_OK);  // a fresh open, which works
}

}  // namespace
}  // namespace tavrin
