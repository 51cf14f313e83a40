#include "propsets/AccessFrame.h"

#include <vector>

#include "platform/CodePage.h"
#include "platform/Exception.h"
#include "platform/HResultText.h"
#include "platform/storage/Journal.h"
#include "platform/storage/PropertyText.h"
#include "platform/storage/PropertyValue.h"

namespace tavrin {
namespace {

using codepage::Cp932;

// Balances CoInitialize on every way out, exceptions included.
class ServicesInitialised {
 public:
  ServicesInitialised() { CoInitialize(nullptr); }
  ~ServicesInitialised() { CoUninitialize(); }
  ServicesInitialised(const ServicesInitialised&) = delete;
  ServicesInitialised& operator=(const ServicesInitialised&) = delete;
};

// The values a read hands out belong to the caller and are freed with the
// array, once, on every way out.
class ValueList {
 public:
  explicit ValueList(ULONG count) : values_(count) {}
  ~ValueList() { FreePropVariantArray(static_cast<std::uint32_t>(values_.size()), values_.data()); }
  ValueList(const ValueList&) = delete;
  ValueList& operator=(const ValueList&) = delete;
  std::span<PROPVARIANT> Span() { return values_; }

 private:
  std::vector<PROPVARIANT> values_;
};

std::string Prefixed(const char* prefix, HRESULT hr) {
  return std::string(prefix) + "\r\n" + HResultText(hr);
}

// The set's code page, as its strings are stored in; PROPID 1 is read only
// to explain a refusal.
unsigned CodePageOf(IPropertyStorage& set) {
  const PROPSPEC spec{PRSPEC_PROPID, PID_CODEPAGE};
  ValueList value(1);
  if (set.ReadMultiple(1, &spec, value.Span().data()) != S_OK || value.Span()[0].vt != VT_I2) {
    return storage::kAssumedCodePage;
  }
  return value.Span()[0].uiVal;
}

struct WriteStep {
  const WriteAction& replace;
  const UntranslatableText& untranslatable;
  const KeptAbsent& keptAbsent;
};

SetWrite Run(const std::string& path, const FMTID& fmtid, ULONG count, Dialogs& dialogs,
             const ReadAction* fill, const WriteStep* write) {
  ServicesInitialised services;
  // Declared in the reverse of their release order: the set, the set
  // storage, then the storage go, each only if it was obtained.
  ComPtr<IStorage> storage;
  ComPtr<IPropertySetStorage> setStorage;
  ComPtr<IPropertyStorage> set;

  HRESULT hr = StgOpenStorage(path.c_str(), nullptr, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, nullptr,
                              0, storage.Put());
  if (FAILED(hr)) {
    dialogs.Message(hr == TAVRIN_E_UNUSABLEJOURNAL ? UnusableJournalMessage(path)
                                                   : OpenFailureMessage(hr));
    return SetWrite::kFailed;
  }
  // What is shown, or changed, next is the document as it was before that
  // change: the user must know the change did not happen.
  if (hr == TAVRIN_S_ROLLEDBACK) dialogs.Message(RolledBackMessage(path));
  if (FAILED(storage.As(setStorage))) throw Exception("Interface not supported");
  hr = setStorage->Open(fmtid, STGM_READWRITE | STGM_SHARE_EXCLUSIVE, set.Put());
  if (FAILED(hr)) {
    dialogs.Message(Prefixed("Error PropSetStg.Open", hr));
    return SetWrite::kFailed;
  }

  std::vector<PROPSPEC> specs(count);
  for (ULONG i = 0; i < count; ++i) specs[i] = PROPSPEC{PRSPEC_PROPID, i + 2};
  ValueList values(count);
  hr = set->ReadMultiple(count, specs.data(), values.Span().data());
  if (FAILED(hr)) {
    dialogs.Message(Prefixed("Error PropStg.ReadMultiple", hr));
    return SetWrite::kFailed;
  }
  bool anyFound = hr != S_FALSE;
  if (fill != nullptr) {
    if (anyFound) (*fill)(values.Span());
    return SetWrite::kUnchanged;
  }
  // Replaced string values point into `texts` until the write returns; the
  // array still frees only what the read gave it.
  KeptTexts texts;
  const std::vector<PROPVARIANT> asRead(values.Span().begin(), values.Span().end());
  if (anyFound) write->replace(values.Span(), texts);
  hr = set->WriteMultiple(count, specs.data(), values.Span().data(), 2);
  if (hr == TAVRIN_E_UNUSABLEJOURNAL) {
    dialogs.Message(UnusableJournalMessage(path));
  } else if (hr == HRESULT_FROM_WIN32(ERROR_NO_UNICODE_TRANSLATION)) {
    std::string why = write->untranslatable ? write->untranslatable(CodePageOf(*set.Get())) : "";
    dialogs.Message(Prefixed("Error PropStg.WriteMultiple", hr) + (why.empty() ? "" : "\r\n") +
                    why);
  } else if (hr == TAVRIN_E_NOPROPERTYPART) {
    dialogs.Message(Prefixed("Error PropStg.WriteMultiple", hr) + "\r\n" +
                    Cp932("この文書には、変更した項目を保存する部分がないため変更できません"));
  } else if (hr == STG_E_ACCESSDENIED) {
    // The document itself opened for writing: only its folder, where the
    // journal goes, can have refused.
    dialogs.Message(Prefixed("Error PropStg.WriteMultiple", hr) + "\r\n" +
                    FolderNotWritableMessage(path));
  } else if (FAILED(hr)) {
    dialogs.Message(Prefixed("Error PropStg.WriteMultiple", hr));
  }
  if (FAILED(hr)) return SetWrite::kFailed;
  // A value offered for a property the set lacks changed the set only when
  // the set takes new properties. Told from what was offered, not by
  // reading the set again, so that a rehearsal says what the write would do.
  bool changed = false;
  for (std::size_t i = 0; i < asRead.size(); ++i) {
    if (storage::SameValue(asRead[i], values.Span()[i])) continue;
    if (asRead[i].vt == VT_EMPTY && !set->TakesNewProperty(specs[i].propid)) {
      if (write->keptAbsent) write->keptAbsent(i);
      continue;
    }
    changed = true;
  }
  return changed ? SetWrite::kChanged : SetWrite::kUnchanged;
}

}  // namespace

std::string OpenFailureMessage(HRESULT hr) {
  switch (hr) {
    case STG_E_FILENOTFOUND:
      return Cp932("ファイルが見つかりません");
    case STG_E_FILEALREADYEXISTS:
      return Cp932("IStorage未対応ファイルです");
    case STG_E_ACCESSDENIED:
      return Cp932("ACCESSが拒否されました");
    case STG_E_INSUFFICIENTMEMORY:
      return Cp932("十分なメモリがありません");
    case STG_E_INVALIDFUNCTION:
      return "STG_E_INVALIDFUNCTION  ";
    case STG_E_REVERTED:
      return "STG_E_REVERTED   ";
    case TAVRIN_E_BADPACKAGE:
    case TAVRIN_E_MEMBERTOOLARGE:
      return Prefixed("Error StgOpenStorage", hr) + "\r\n" +
             Cp932("文書のパッケージが壊れているか、安全に読めない内容を含んでいます");
    case TAVRIN_E_UNSUPPORTEDPACKAGE:
      return Prefixed("Error StgOpenStorage", hr) + "\r\n" +
             Cp932("このプログラムでは変更できない形式のパッケージです");
    default:
      return Prefixed("Error StgOpenStorage", hr);
  }
}

std::string UnusableJournalMessage(const std::string& path) {
  return Cp932(
             "ジャーナルファイルが残っています。文書が途中まで変更されている可能性があります。"
             "文書とジャーナルファイルを確認してから、ジャーナルファイルを削除してください") +
         "\r\n" + codepage::PathForMessage(storage::JournalPathOf(path));
}

std::string RolledBackMessage(const std::string& path) {
  return Cp932("前回の変更が完了していなかったため、文書を変更前の状態に戻しました") + "\r\n" +
         codepage::PathForMessage(path);
}

std::string FolderNotWritableMessage(const std::string& path) {
  return Cp932("フォルダーに書き込めないため変更できません") + "\r\n" +
         codepage::PathForMessage(storage::FolderOf(storage::JournalPathOf(path)));
}

void ReadPropertySet(const std::string& path, const FMTID& fmtid, ULONG count, Dialogs& dialogs,
                     const ReadAction& fill) {
  Run(path, fmtid, count, dialogs, &fill, nullptr);
}

SetWrite WritePropertySet(const std::string& path, const FMTID& fmtid, ULONG count,
                          Dialogs& dialogs, const WriteAction& replace,
                          const UntranslatableText& untranslatable, const KeptAbsent& keptAbsent) {
  const WriteStep write{replace, untranslatable, keptAbsent};
  return Run(path, fmtid, count, dialogs, nullptr, &write);
}

}  // namespace tavrin
