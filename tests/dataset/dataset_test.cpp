#include <gtest/gtest.h>

#include "dataset/memory_dataset.h"

namespace {

using Cols = std::vector<TMemoryDataSet::Column>;

// id (required integer), name (string), note (memo), three rows.
struct People : ::testing::Test {
  TMemoryDataSet ds;
  std::vector<std::string> events;

  void SetUp() override {
    ds.Name = "People";
    ds.Columns = Cols{{"id", ftInteger, 0, true}, {"name", ftString, 20}, {"note", ftMemo}};
    ds.Rows = {{std::int64_t{1}, std::string("ann"), TFieldValue{}},
               {std::int64_t{2}, std::string("bob"), std::string("x\0y", 3)},
               {std::int64_t{3}, TFieldValue{}, TFieldValue{}}};
  }
  void Record(TDataSetNotifyEvent& e, const char* name) {
    e = [this, name](TDataSet&) { events.push_back(name); };
  }
  std::vector<std::string> Names() {
    std::vector<std::string> out;
    for (ds.First(); !ds.Eof(); ds.Next()) out.push_back(ds.FieldByName("name").AsString());
    return out;
  }
};

TEST_F(People, OpenBuildsFieldsFromDefinitionsAndStandsOnTheFirstRecord) {
  ds.Open();
  ASSERT_EQ(ds.FieldCount(), 3);
  EXPECT_EQ(ds.Fields(0).FieldName, "id");
  EXPECT_TRUE(ds.Fields(0).Required);
  EXPECT_EQ(ds.Fields(2).DataType(), ftMemo);
  EXPECT_NE(dynamic_cast<TMemoField*>(&ds.Fields(2)), nullptr);
  EXPECT_NE(dynamic_cast<TStringField*>(&ds.Fields(1)), nullptr);
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_TRUE(ds.Bof());
  EXPECT_FALSE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("ID").AsInteger(), 1);  // names without regard to case
  EXPECT_EQ(ds.RecordCount(), 3);
  ds.Close();
  EXPECT_EQ(ds.FieldCount(), 0) << "default fields go with the cursor";
  EXPECT_EQ(ds.RecordCount(), 0);
  EXPECT_THROW(ds.First(), EDatabaseError);
}

TEST_F(People, NavigationEndsAndRecordNumbers) {
  ds.Open();
  EXPECT_EQ(ds.RecNo(), 1);
  ds.Next();
  ds.Next();
  EXPECT_EQ(ds.RecNo(), 3);
  ds.Next();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 3) << "the last record stays current at the end";
  ds.Last();
  EXPECT_TRUE(ds.Eof());
  EXPECT_EQ(ds.RecNo(), 3) << "worked out by walking back";
  ds.Prior();
  ds.Prior();
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 1);
  EXPECT_FALSE(ds.Bof());
  ds.Prior();
  EXPECT_TRUE(ds.Bof());
  EXPECT_EQ(ds.MoveBy(5), 2);
  EXPECT_EQ(ds.MoveBy(-5), -2);
  ds.SetRecNo(2);
  EXPECT_EQ(ds.FieldByName("name").AsString(), "bob");
  EXPECT_EQ(Names(), (std::vector<std::string>{"ann", "bob", ""}));
}

TEST_F(People, EmptyDataSetIsAtBothEndsAndRefusesDelete) {
  ds.Rows.clear();
  ds.Open();
  EXPECT_TRUE(ds.IsEmpty());
  EXPECT_EQ(ds.RecNo(), 0);
  EXPECT_TRUE(ds.FieldByName("id").IsNull());
  EXPECT_THROW(ds.Delete(), EDatabaseError);
  ds.Edit();  // editing nothing appends
  EXPECT_EQ(ds.State(), dsInsert);
}

TEST_F(People, ForwardOnlyPriorDoesNotMove) {
  ds.Forward = true;
  ds.Open();
  ds.Next();
  EXPECT_EQ(ds.MoveBy(-1), 0);
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 2);
}

TEST_F(People, EditPostWritesAndRunsEventsInOrder) {
  ds.Open();
  Record(ds.BeforeEdit, "BeforeEdit");
  Record(ds.AfterEdit, "AfterEdit");
  Record(ds.BeforePost, "BeforePost");
  Record(ds.AfterPost, "AfterPost");
  ds.Next();
  ds.Edit();
  EXPECT_EQ(ds.State(), dsEdit);
  EXPECT_FALSE(ds.Modified());
  ds.FieldByName("name").SetAsString("bobby");
  EXPECT_TRUE(ds.Modified());
  ds.Post();
  EXPECT_EQ(ds.State(), dsBrowse);
  EXPECT_EQ(std::get<std::string>(ds.Rows[1][1]), "bobby");
  EXPECT_EQ(ds.FieldByName("name").AsString(), "bobby");
  EXPECT_EQ(events, (std::vector<std::string>{"BeforeEdit", "AfterEdit", "BeforePost", "AfterPost"}));
  EXPECT_EQ(ds.Steps, (std::vector<std::string>{"open", "edit", "post edit"}));
}

TEST_F(People, CancelRestoresTheRecordAndScrollingPostsAPendingEdit) {
  ds.Open();
  ds.Edit();
  ds.FieldByName("name").SetAsString("changed");
  ds.Cancel();
  EXPECT_EQ(ds.FieldByName("name").AsString(), "ann");
  ds.Edit();
  ds.FieldByName("name").SetAsString("posted by Next");
  ds.Next();
  EXPECT_EQ(std::get<std::string>(ds.Rows[0][1]), "posted by Next");
  ds.Close();
  ds.Open();
  ds.Edit();
  ds.FieldByName("name").SetAsString("dropped by Close");
  ds.Close();
  EXPECT_EQ(std::get<std::string>(ds.Rows[0][1]), "posted by Next");
}

TEST_F(People, InsertAppendAndDeleteKeepTheCursorSensible) {
  ds.Open();
  std::vector<std::string> order;
  ds.OnNewRecord = [&](TDataSet& d) {
    order.push_back("OnNewRecord");
    d.FieldByName("id").SetAsInteger(99);
  };
  ds.AfterInsert = [&](TDataSet&) { order.push_back("AfterInsert"); };
  ds.Next();
  ds.Insert();
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 99) << "the new-record event fills defaults";
  EXPECT_FALSE(ds.Modified()) << "defaults do not count as the user's change";
  EXPECT_EQ(ds.RecNo(), -1);
  ds.FieldByName("name").SetAsString("new");
  ds.Post();
  EXPECT_EQ(order, (std::vector<std::string>{"OnNewRecord", "AfterInsert"}));
  EXPECT_EQ(Names(), (std::vector<std::string>{"ann", "new", "bob", ""}));

  ds.Append();
  ds.FieldByName("name").SetAsString("last");
  ds.Post();
  EXPECT_EQ(ds.FieldByName("name").AsString(), "last");
  EXPECT_EQ(ds.RecordCount(), 5);

  ds.Delete();
  EXPECT_EQ(ds.RecordCount(), 4);
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 3) << "deleting the last row lands on the new last";
  ds.First();
  ds.Delete();
  EXPECT_EQ(ds.FieldByName("name").AsString(), "new");
  EXPECT_EQ(ds.Steps.back(), "delete");
}

TEST_F(People, InsertThenCancelReturnsToWhereTheCursorWas) {
  ds.Open();
  ds.Next();
  ds.Append();
  ds.Cancel();
  EXPECT_EQ(ds.RecordCount(), 3);
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 3);
  ds.Insert();
  ds.Delete();  // deleting an unposted insert only cancels it
  EXPECT_EQ(ds.RecordCount(), 3);
}

TEST_F(People, RequiredFieldKeepsTheInsertSoNothingTypedIsLost) {
  ds.Open();
  ds.Append();
  ds.FieldByName("name").SetAsString("typed");
  try {
    ds.Post();
    FAIL() << "posted without the required id";
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "People: Field 'id' must have a value");
  }
  EXPECT_EQ(ds.State(), dsInsert);
  EXPECT_EQ(ds.FieldByName("name").AsString(), "typed");
  ds.FieldByName("id").SetAsString("4");
  ds.Post();
  EXPECT_EQ(ds.RecordCount(), 4);
}

TEST_F(People, WritesThatAreRefused) {
  struct Case {
    const char* what;
    std::function<void(TMemoryDataSet&)> act;
    const char* message;
  };
  const std::vector<Case> cases = {
      {"write in browse state", [](TMemoryDataSet& d) { d.FieldByName("name").SetAsString("x"); },
       "People: Dataset not in edit or insert mode"},
      {"read-only field",
       [](TMemoryDataSet& d) {
         d.FieldByName("name").ReadOnly = true;
         d.Edit();
         d.FieldByName("name").SetAsString("x");
       },
       "Field 'name' cannot be modified"},
      {"read-only dataset",
       [](TMemoryDataSet& d) {
         d.ReadOnlyData = true;
         d.Edit();
       },
       "People: Cannot modify a read-only dataset"},
      {"text into an integer",
       [](TMemoryDataSet& d) {
         d.Edit();
         d.FieldByName("id").SetAsString("12a");
       },
       "'12a' is not a valid integer value for field 'id'"},
      {"blob stream for writing in browse state",
       [](TMemoryDataSet& d) { d.CreateBlobStream(d.FieldByName("note"), bmWrite); },
       "People: Dataset not in edit or insert mode"},
      {"unknown field", [](TMemoryDataSet& d) { d.FieldByName("nope"); },
       "People: Field 'nope' not found"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    TMemoryDataSet d;
    d.Name = "People";
    d.Columns = ds.Columns;
    d.Rows = ds.Rows;
    d.Open();
    try {
      c.act(d);
      ADD_FAILURE() << "no error";
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(std::string(e.what()), c.message);
    }
  }
}

TEST_F(People, FailedOpenLeavesItClosed) {
  ds.FailOpen = true;
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
  ds.FailOpen = false;
  ds.Open();
  EXPECT_TRUE(ds.Active());
}

TEST_F(People, PersistentFieldOfTheWrongKindIsRefusedAtOpen) {
  auto f = std::make_unique<TField>(ftDate, 0);
  f->FieldName = "id";
  ds.AddField(std::move(f));
  EXPECT_THROW(ds.Open(), EDatabaseError);
  EXPECT_FALSE(ds.Active());
}

TEST_F(People, BookmarksReturnToARecord) {
  ds.Open();
  ds.Next();
  ds.Next();
  const TBookmark b = ds.Bookmark();
  ds.First();
  ds.GotoBookmark(b);
  EXPECT_EQ(ds.FieldByName("id").AsInteger(), 3);
  EXPECT_THROW(ds.GotoBookmark(42), EDatabaseError);
  static_assert(sizeof(TBookmark) == 8);
}

TEST_F(People, CalculatedFieldsAreWorkedOutPerRecord) {
  ds.AddCalculatedField("label", ftString, 40);
  ds.OnCalcFields = [](TDataSet& d) {
    d.FieldByName("label").SetAsString(d.FieldByName("id").AsString() + ":" +
                                        d.FieldByName("name").AsString());
  };
  ds.Open();
  ASSERT_EQ(ds.FieldCount(), 4);
  EXPECT_EQ(ds.Fields(3).FieldName, "label") << "kept after the default fields";
  EXPECT_EQ(ds.CalcFieldCount(), 1);
  EXPECT_EQ(ds.FieldByName("label").AsString(), "1:ann");
  ds.Next();
  EXPECT_EQ(ds.FieldByName("label").AsString(), "2:bob");
  ds.Edit();
  EXPECT_THROW(ds.FieldByName("label").SetAsString("x"), EDatabaseError)
      << "calculated fields are written only while calculating";
  ds.Cancel();
  ds.Close();
  ds.Open();
  EXPECT_EQ(ds.FieldCount(), 4) << "the persistent calculated field survives close";
}

TEST_F(People, BlobStreamsReadAndWriteBytes) {
  ds.Open();
  ds.Next();
  EXPECT_EQ(ds.CreateBlobStream(ds.FieldByName("note"), bmRead)->ReadAll(), std::string("x\0y", 3));
  ds.Edit();
  {
    auto s = ds.CreateBlobStream(ds.FieldByName("note"), bmWrite);
    s->WriteAll("hello");
    s->Seek(-2, TStream::soEnd);
    s->WriteAll("LO!");
    EXPECT_EQ(s->Size(), 6);
    EXPECT_THROW(s->Seek(-1, TStream::soBeginning), EDatabaseError);
  }
  ds.Post();
  EXPECT_EQ(std::get<std::string>(ds.Rows[1][2]), "helLO!");
}

// One row per field type: the native value, and what each accessor reads from it.
TEST(FieldAccess, ConversionsByType) {
  struct Case {
    TFieldType type;
    TFieldValue written;
    std::string asString;
    std::int64_t asLargeInt;
    double asFloat;
    bool asBoolean;
  };
  const std::vector<Case> cases = {
      {ftInteger, std::string(" 42 "), "42", 42, 42.0, true},
      {ftSmallint, std::int64_t{-7}, "-7", -7, -7.0, true},
      {ftLargeint, std::string("9007199254740993"), "9007199254740993", 9007199254740993, 9007199254740992.0, true},
      {ftFloat, std::string("2.5"), "2.5", 3, 2.5, false},
      {ftFloat, 0.1, "0.1", 0, 0.1, false},
      {ftBoolean, std::string("True"), "True", 1, 1.0, true},
      {ftBoolean, std::string("n"), "False", 0, 0.0, false},
      {ftString, std::int64_t{12}, "12", 12, 12.0, false},
      {ftString, std::string("it's"), "it's", 0, 0.0, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(FieldTypeName(c.type)) + " " + c.asString);
    TMemoryDataSet d;
    d.Columns = Cols{{"v", c.type}};
    d.Rows.clear();
    d.Open();
    d.Append();
    TField& f = d.FieldByName("v");
    f.SetValue(c.written);
    EXPECT_EQ(f.AsString(), c.asString);
    if (c.type != ftString || c.asString == "12") {
      EXPECT_EQ(f.AsLargeInt(), c.asLargeInt);
      EXPECT_DOUBLE_EQ(f.AsFloat(), c.asFloat);
    }
    if (c.type != ftString && c.type != ftFloat) {
      EXPECT_EQ(f.AsBoolean(), c.asBoolean);
    }
    EXPECT_EQ(NativeKind(c.type) == TValueKind::Text, std::holds_alternative<std::string>(f.Value()));
  }
}

TEST(FieldAccess, NullsEmptyTextRangesAndDates) {
  TMemoryDataSet d;
  d.Columns = Cols{{"w", ftWord}, {"s", ftSmallint}, {"d", ftDate}, {"dt", ftDateTime}, {"t", ftString}};
  d.Rows.clear();
  d.Open();
  d.Append();
  TField& w = d.FieldByName("w");
  EXPECT_TRUE(w.IsNull());
  EXPECT_EQ(w.AsInteger(), 0);
  EXPECT_EQ(w.AsString(), "");
  w.SetAsString("");  // empty text into a number is no value, not zero
  EXPECT_TRUE(w.IsNull());
  EXPECT_THROW(w.SetAsInteger(-1), EDatabaseError);
  EXPECT_THROW(w.SetAsInteger(65536), EDatabaseError);
  w.SetAsInteger(65535);
  EXPECT_EQ(w.AsInteger(), 65535);
  try {
    d.FieldByName("s").SetAsInteger(40000);
    ADD_FAILURE();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "40000 is not a valid value for field 's'. The allowed range is -32768 to 32767");
  }
  TField& dt = d.FieldByName("dt");
  dt.SetAsString("2007-01-02 03:04:05");
  EXPECT_EQ(dt.AsDateTime().day, 2);
  EXPECT_EQ(dt.AsString(), "2007-01-02 03:04:05");
  d.FieldByName("d").SetAsDateTime(dt.AsDateTime());
  EXPECT_EQ(d.FieldByName("d").AsString(), "2007-01-02");
  EXPECT_THROW(d.FieldByName("d").SetAsString("yesterday"), EDatabaseError);
  d.FieldByName("t").SetAsString("x");
  EXPECT_THROW(d.FieldByName("t").AsInteger(), EDatabaseError);
  d.FieldByName("t").Clear();
  EXPECT_TRUE(d.FieldByName("t").IsNull());
  EXPECT_EQ(d.FieldByName("t").AsInteger(), 0);
}

// Typed text with a part out of range must be refused, not stored as some other day.
TEST(FieldAccess, DateTextOutOfRangeIsRefused) {
  TMemoryDataSet d;
  d.Columns = Cols{{"d", ftDate}, {"t", ftTime}, {"dt", ftDateTime}};
  d.Rows.clear();
  d.Open();
  d.Append();
  struct Case {
    const char* field;
    const char* text;
    const char* stored;  // nullptr: refused
  } cases[] = {
      {"d", "2024-13-01", nullptr},
      {"d", "2023-02-29", nullptr},
      {"d", "2024-02-30", nullptr},
      {"d", "99999999999-01-01", nullptr},
      {"d", "2024-02-29", "2024-02-29"},
      {"d", "0000-00-00", "0001-01-01"},  // MySQL's zero date
      {"t", "25:00:00", nullptr},
      {"t", "10:60:00", nullptr},
      {"t", "-10:00:00", nullptr},
      {"t", "23:59:59.1234567", "23:59:59.123456"},
      {"dt", "2024-04-31 10:00:00", nullptr},
      {"dt", "2024-04-30 24:00:00", nullptr},
      {"dt", "2024-04-30 23:00:00", "2024-04-30 23:00:00"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    TField& f = d.FieldByName(c.field);
    f.Clear();
    if (c.stored) {
      f.SetAsString(c.text);
      EXPECT_EQ(f.AsString(), c.stored);
      continue;
    }
    try {
      f.SetAsString(c.text);
      ADD_FAILURE() << "stored as " << f.AsString();
    } catch (const EDatabaseError& e) {
      EXPECT_EQ(std::string(e.what()), std::string("'") + c.text +
                                           "' is not a valid date and time value for field '" +
                                           c.field + "'");
    }
    EXPECT_TRUE(f.IsNull());
  }
}

TEST(Params, LookupAndTypedValues) {
  TParams p;
  p.Add("Id", ftInteger, ptInput);
  p.ParamByName("id").SetAsString("5");
  EXPECT_EQ(std::get<std::int64_t>(p[0].Value), 5);
  TParam& any = p.Add("when");
  any.SetAsString("2001-02-03");
  EXPECT_EQ(any.DataType, ftString);
  EXPECT_EQ(any.AsString(), "2001-02-03");
  EXPECT_TRUE(p.Add("n").IsNull());
  try {
    p.ParamByName("missing");
    ADD_FAILURE();
  } catch (const EDatabaseError& e) {
    EXPECT_STREQ(e.what(), "Parameter 'missing' not found");
  }
}

TEST(IndexDefs, FindByNameAndFields) {
  TIndexDefs defs;
  defs.Add("PRIMARY", "a;b", {ixPrimary, ixUnique});
  defs.Add("k", "c", {});
  EXPECT_EQ(defs.Find("primary")->Fields, "a;b");
  EXPECT_EQ(defs.GetIndexForFields("C")->Name, "k");
  EXPECT_EQ(defs.Find("none"), nullptr);
  EXPECT_EQ((TIndexOptions{ixPrimary, ixUnique}).Bits(), 3u);
}

TEST(MasterDetail, DetailFollowsTheMasterAndCircularLinksAreRefused) {
  TMemoryDataSet master, detail;
  master.Columns = Cols{{"id", ftInteger}};
  master.Rows = {{std::int64_t{1}}, {std::int64_t{2}}};
  detail.Columns = Cols{{"master_id", ftInteger}};
  detail.Rows = {{std::int64_t{1}}};
  TDataSource masterSource(&master), detailSource(&detail);
  detail.SetMasterSource(&masterSource);
  detail.SetMasterFields("master_id=id");
  master.Open();
  detail.Open();
  detail.Steps.clear();
  master.Next();
  EXPECT_EQ(detail.Steps, (std::vector<std::string>{"refresh"}));
  EXPECT_THROW(master.SetMasterSource(&detailSource), EDatabaseError);
  EXPECT_THROW(detail.SetMasterSource(&detailSource), EDatabaseError);
  EXPECT_EQ(detail.MasterDataSet(), &master);
  {
    TDataSource gone(&master);
    detail.SetMasterSource(&gone);
  }
  EXPECT_EQ(detail.MasterSource(), nullptr) << "a destroyed source unlinks its details";
}

TEST(DataSource, ReportsStateAndDataChanges) {
  TMemoryDataSet d;
  d.Columns = Cols{{"v", ftInteger}};
  d.Rows = {{std::int64_t{1}}};
  TDataSource s(&d);
  std::vector<TDataSetState> states;
  int changes = 0;
  s.OnStateChange = [&](TDataSource& src) { states.push_back(src.State()); };
  s.OnDataChange = [&](TDataSource&, TField*) { ++changes; };
  d.Open();
  d.Edit();
  d.FieldByName("v").SetAsInteger(2);
  d.Post();
  d.Close();
  EXPECT_EQ(states, (std::vector<TDataSetState>{dsBrowse, dsEdit, dsBrowse, dsInactive}));
  EXPECT_GT(changes, 0);
}

TEST(Loading, ActiveStoredTrueOpensWhenLoadingEnds) {
  TMemoryDataSet d;
  d.Columns = Cols{{"v", ftInteger}};
  d.BeginLoading();
  d.SetActive(true);
  EXPECT_FALSE(d.Active());
  d.Loaded();
  EXPECT_TRUE(d.Active());
}

TEST(ProviderOperations, NeutralAnswersOfTheBase) {
  TMemoryDataSet d;
  d.Columns = Cols{{"a", ftInteger}, {"b", ftInteger}};
  d.IndexDefs().Add("PRIMARY", "a", {ixPrimary});
  d.IndexDefs().Add("ix", "b", {});
  d.Open();
  d.FieldByName("b").ProviderFlags.Include(pfInKey);
  TProviderSupport& p = d;
  EXPECT_EQ(p.PSGetKeyFields(), "b");
  EXPECT_EQ(p.PSGetIndexDefs({ixPrimary}).Count(), 1);
  EXPECT_EQ(p.PSGetIndexDefs({}).Count(), 2);
  EXPECT_FALSE(p.PSIsSQLBased());
  EXPECT_FALSE(p.PSUpdateRecord(ukModify, d));
  EXPECT_THROW(p.PSExecuteStatement("delete", nullptr), EDatabaseError);
  auto prev = std::make_exception_ptr(EDatabaseError("prev"));
  EXPECT_EQ(p.PSGetUpdateException(nullptr, prev), prev);
}

// ---- the connection base

class TestConnection : public TCustomConnection {
 public:
  std::vector<std::string>* log;
  bool connected = false;
  bool failConnect = false;
  explicit TestConnection(std::vector<std::string>* l) : log(l) {}
  ~TestConnection() override { Close(); }
  std::string ClassName() const override { return "TestConnection"; }

 protected:
  bool GetConnected() const override { return connected; }
  void DoConnect() override {
    log->push_back("DoConnect");
    if (failConnect) DatabaseError("refused");
    connected = true;
  }
  void DoDisconnect() override {
    log->push_back("DoDisconnect");
    connected = false;
  }
};

class ClientDataSet : public TMemoryDataSet, public TConnectionClient {
 public:
  TCustomConnection* connection = nullptr;
  void ConnectionGone(TCustomConnection&) override { connection = nullptr; }
};

TEST(Connection, EventsInOrderAndDatasetsClosedOnDisconnect) {
  std::vector<std::string> log;
  TestConnection c(&log);
  ClientDataSet d;
  d.Columns = Cols{{"v", ftInteger}};
  c.RegisterClient(d);
  c.RegisterClient(d);
  EXPECT_EQ(c.DataSetCount(), 1);
  c.BeforeConnect = [&](TCustomConnection&) { log.push_back("BeforeConnect"); };
  c.AfterConnect = [&](TCustomConnection&) { log.push_back("AfterConnect"); };
  c.BeforeDisconnect = [&](TCustomConnection&) { log.push_back("BeforeDisconnect"); };
  c.AfterDisconnect = [&](TCustomConnection&) { log.push_back("AfterDisconnect"); };
  d.AfterClose = [&](TDataSet&) { log.push_back("dataset closed"); };
  c.Open();
  c.Open();  // already connected: nothing
  d.Open();
  c.Close();
  EXPECT_FALSE(d.Active());
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect", "AfterConnect",
                                           "BeforeDisconnect", "dataset closed", "DoDisconnect",
                                           "AfterDisconnect"}));
  log.clear();
  c.failConnect = true;
  EXPECT_THROW(c.Open(), EDatabaseError);
  EXPECT_FALSE(c.Connected());
  EXPECT_EQ(log, (std::vector<std::string>{"BeforeConnect", "DoConnect"})) << "no AfterConnect";
}

TEST(Connection, LoadingAssignAndDestruction) {
  std::vector<std::string> log;
  ClientDataSet d;
  {
    TestConnection c(&log);
    d.connection = &c;
    c.RegisterClient(d);
    c.BeginLoading();
    c.Open();
    EXPECT_FALSE(c.Connected());
    c.Loaded();
    EXPECT_TRUE(c.Connected());
    TestConnection other(&log);
    try {
      c.Assign(other);
      ADD_FAILURE();
    } catch (const EDatabaseError& e) {
      EXPECT_STREQ(e.what(), "Cannot assign a TestConnection to a TestConnection");
    }
  }
  EXPECT_EQ(d.connection, nullptr) << "the dataset is told its connection is gone";

  // A dataset destroyed first leaves its connection's list.
  TestConnection c(&log);
  {
    ClientDataSet gone;
    c.RegisterClient(gone);
  }
  EXPECT_EQ(c.DataSetCount(), 0);
}

}  // namespace
