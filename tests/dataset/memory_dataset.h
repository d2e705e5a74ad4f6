// A small dataset over rows held in memory, for driving the framework in tests: every
// step of TDataSet is implemented the plain way, and each call is logged.
#pragma once

#include <string>
#include <vector>

#include "platform/dataset/db.h"

class TMemoryDataSet : public TDataSet {
 public:
  struct Column {
    std::string name;
    TFieldType type;
    int size = 0;
    bool required = false;
  };
  std::vector<Column> Columns;
  std::vector<std::vector<TFieldValue>> Rows;
  bool ReadOnlyData = false;
  bool FailOpen = false;
  bool Forward = false;  // "prior" stays on the current record, as a forward-only cursor does
  std::vector<std::string> Steps;  // the overridden steps in the order they ran

  ~TMemoryDataSet() override { Close(); }

  using TDataSet::CalcFieldCount;

 protected:
  struct Buffer : TRecordBuffer {
    std::vector<TFieldValue> values;
    std::vector<TFieldValue> calc;
    TBookmark bookmark = -1;
    TBookmarkFlag flag = bfCurrent;
  };
  static Buffer& B(TRecordBuffer& b) { return static_cast<Buffer&>(b); }
  static const Buffer& B(const TRecordBuffer& b) { return static_cast<const Buffer&>(b); }

  std::unique_ptr<TRecordBuffer> AllocRecordBuffer() override { return std::make_unique<Buffer>(); }
  void InternalInitRecord(TRecordBuffer& buffer) override {
    B(buffer).values.assign(Columns.size(), TFieldValue{});
    B(buffer).calc.assign(static_cast<std::size_t>(CalcFieldCount()), TFieldValue{});
    B(buffer).bookmark = -1;
  }
  TGetResult GetRecord(TRecordBuffer& buffer, TGetMode mode, bool doCheck) override {
    const auto n = static_cast<std::int64_t>(Rows.size());
    if (n == 0) return grEOF;
    if (mode == gmNext) {
      if (pos_ >= n - 1) return grEOF;  // the cursor stays on the last record
      ++pos_;
    } else if (mode == gmPrior) {
      if (Forward && pos_ >= 0 && pos_ < n) {
        // stays
      } else if (pos_ <= 0) {
        return grBOF;
      } else {
        pos_ = std::min(pos_, n) - 1;
      }
    } else if (pos_ < 0 || pos_ >= n) {
      if (doCheck) DatabaseError("No Records");
      return grError;
    }
    Buffer& b = B(buffer);
    b.values = Rows[static_cast<std::size_t>(pos_)];
    b.bookmark = pos_;
    b.flag = bfCurrent;
    b.calc.assign(static_cast<std::size_t>(CalcFieldCount()), TFieldValue{});
    CalculateFields(buffer);
    return grOK;
  }
  std::int64_t GetRecordCount() override { return static_cast<std::int64_t>(Rows.size()); }
  TBookmark GetBookmarkData(const TRecordBuffer& b) override { return B(b).bookmark; }
  void SetBookmarkData(TRecordBuffer& b, TBookmark m) override { B(b).bookmark = m; }
  TBookmarkFlag GetBookmarkFlag(const TRecordBuffer& b) override { return B(b).flag; }
  void SetBookmarkFlag(TRecordBuffer& b, TBookmarkFlag f) override { B(b).flag = f; }
  void InternalGotoBookmark(TBookmark m) override { pos_ = m; }
  bool BookmarkValid(TBookmark m) override {
    return Active() && m >= 0 && m < static_cast<std::int64_t>(Rows.size());
  }
  void InternalFirst() override { pos_ = -1; }
  void InternalLast() override { pos_ = static_cast<std::int64_t>(Rows.size()); }

  bool GetFieldData(TField& field, TFieldValue& value) override {
    Buffer& b = B(*ActiveRecordBuffer());
    value = field.CalcIndex() >= 0 ? b.calc[static_cast<std::size_t>(field.CalcIndex())]
                                   : b.values[static_cast<std::size_t>(field.FieldNo() - 1)];
    return !IsNull(value);
  }
  void SetFieldData(TField& field, const TFieldValue& value) override {
    Buffer& b = B(*ActiveRecordBuffer());
    (field.CalcIndex() >= 0 ? b.calc[static_cast<std::size_t>(field.CalcIndex())]
                            : b.values[static_cast<std::size_t>(field.FieldNo() - 1)]) = value;
  }

  void InternalOpen() override {
    Steps.push_back("open");
    if (FailOpen) DatabaseError("cannot open");
    open_ = true;
    InitFieldDefs();
    if (DefaultFields()) CreateFields();
    BindFields(true);
    pos_ = -1;
  }
  void InternalClose() override {
    Steps.push_back("close");
    open_ = false;
  }
  bool IsCursorOpen() const override { return open_; }
  void InternalRefresh() override { Steps.push_back("refresh"); }
  void InternalInitFieldDefs() override {
    for (const Column& c : Columns) FieldDefs().Add(c.name, c.type, c.size, c.required);
  }
  void InternalInsert() override { Steps.push_back("insert"); }
  void InternalEdit() override { Steps.push_back("edit"); }
  void InternalCancel() override { Steps.push_back("cancel"); }
  void InternalPost() override {
    Steps.push_back(State() == dsEdit ? "post edit" : "post insert");
    if (State() == dsEdit)
      Rows[static_cast<std::size_t>(pos_)] = B(*ActiveBuffer()).values;
    else
      TDataSet::InternalPost();
  }
  void InternalAddRecord(TRecordBuffer& buffer, bool append) override {
    Steps.push_back(append ? "add appended" : "add inserted");
    const auto n = static_cast<std::int64_t>(Rows.size());
    if (append || pos_ < 0 || pos_ >= n) pos_ = n;
    Rows.insert(Rows.begin() + pos_, B(buffer).values);
  }
  void InternalDelete() override {
    Steps.push_back("delete");
    Rows.erase(Rows.begin() + pos_);
  }
  bool GetCanModify() override { return !ReadOnlyData; }

 private:
  bool open_ = false;
  std::int64_t pos_ = -1;
};
