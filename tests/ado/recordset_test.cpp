#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <limits>

#include "ado/variant_print.h"
#include "platform/ado/connection.h"
#include "platform/ado/memory_recordset.h"
#include "platform/ado/null_session.h"
#include "platform/ado/odbc/odbc_query.h"

using ado::Variant;

namespace {

TEST(RowFilter, ReadsNameEqualsQuotedValue) {
  struct Case {
    const char* text;
    const char* column;
    const char* value;
  } cases[] = {{"INDEX_NAME='PRIMARY'", "INDEX_NAME", "PRIMARY"},
               {" INDEX_NAME = 'o''key' ", "INDEX_NAME", "o'key"},
               {"INDEX_NAME=''", "INDEX_NAME", ""},
               {"A='x = ''y'''", "A", "x = 'y'"}};
  for (const Case& c : cases) {
    auto f = ado::RowFilter::Parse(c.text);
    EXPECT_EQ(f.column, c.column) << c.text;
    EXPECT_EQ(f.value, c.value) << c.text;
  }
  for (const char* bad : {"INDEX_NAME", "='x'", "A=x", "A='x", "A='a'b'", "A='x' OR B='y'"})
    EXPECT_THROW(ado::RowFilter::Parse(bad), ado::DatabaseError) << bad;
}

TEST(MemoryRecordset, FilterSelectsRowsAndCountsThem) {
  ado::MemoryRecordset rs({"INDEX_NAME", "COLUMN_NAME"});
  rs.addRow({"PRIMARY", "a"});
  rs.addRow({"ix", "b"});
  rs.addRow({"PRIMARY", "c"});
  rs.addRow({Variant(), "d"});
  rs.addRow({"o'key"});  // missing values are null
  rs.first();
  EXPECT_EQ(rs.recordCount(), 5);
  rs.setFilter("index_name='PRIMARY'");  // column names without regard to case
  EXPECT_EQ(rs.recordCount(), 2);
  std::string seen;
  for (; !rs.eof(); rs.next()) seen += ado::VariantToText(rs.value("COLUMN_NAME"));
  EXPECT_EQ(seen, "ac");
  EXPECT_TRUE(rs.value(0).isNull());  // past the end
  rs.setFilter("INDEX_NAME='o''key'");
  ASSERT_FALSE(rs.eof());
  EXPECT_TRUE(rs.value("COLUMN_NAME").isNull());
  rs.setFilter("INDEX_NAME='none'");
  EXPECT_TRUE(rs.eof());
  EXPECT_EQ(rs.recordCount(), 0);
  rs.setFilter("");
  EXPECT_EQ(rs.recordCount(), 5);
  EXPECT_THROW(rs.setFilter("NOSUCH='x'"), ado::DatabaseError);
  EXPECT_THROW(rs.value("NOSUCH"), ado::DatabaseError);
  EXPECT_THROW(rs.value(2), ado::DatabaseError);
}

TEST(OdbcText, TimeTextReadsIntervalsAndFractions) {
  struct Case {
    const char* text;
    ado::Time time;
  } cases[] = {{"12:30:05", {false, 12, 30, 5, 0}},
               {"-838:59:59", {true, 838, 59, 59, 0}},
               {"100:00:00.5", {false, 100, 0, 0, 500000000}},
               {"00:00:00.000001", {false, 0, 0, 0, 1000}},
               {"1:02:03.1234567891", {false, 1, 2, 3, 123456789}}};
  for (const Case& c : cases) {
    ado::Time t;
    ASSERT_TRUE(ado::odbc::ParseTimeText(c.text, t)) << c.text;
    EXPECT_EQ(t, c.time) << c.text;
  }
  ado::Time t;
  for (const char* bad : {"", "12:3:00", "12:30", "x12:30:00", "12:30:00 ", "12:30:00.x"})
    EXPECT_FALSE(ado::odbc::ParseTimeText(bad, t)) << bad;
}

// MySQL's dates as text: zero and partial-zero dates parse (the reader keeps them as
// text), anything else that is not a date does not.
TEST(OdbcText, DateTextReadsZeroDatesAndFractions) {
  struct Case {
    const char* text;
    ado::DateTime value;
    bool hasTime;
  } cases[] = {{"2024-02-29", {{2024, 2, 29}, {}}, false},
               {"0000-00-00", {{0, 0, 0}, {}}, false},
               {"2021-00-00", {{2021, 0, 0}, {}}, false},
               {"0000-00-00 00:00:00", {{0, 0, 0}, {}}, true},
               {"9999-12-31 23:59:59.999999", {{9999, 12, 31}, {false, 23, 59, 59, 999999000}}, true}};
  for (const Case& c : cases) {
    ado::DateTime dt;
    bool hasTime = false;
    ASSERT_TRUE(ado::odbc::ParseDateText(c.text, dt, hasTime)) << c.text;
    EXPECT_EQ(dt, c.value) << c.text;
    EXPECT_EQ(hasTime, c.hasTime) << c.text;
  }
  ado::DateTime dt;
  bool hasTime = false;
  for (const char* bad : {"", "2024-2-29", "2024/02/29", "2024-02-29x", "2024-02-29 24:00:00",
                          "2024-02-29 -01:00:00"})
    EXPECT_FALSE(ado::odbc::ParseDateText(bad, dt, hasTime)) << bad;
}

// What ends a job: errors that say the connection itself is gone, by SQLSTATE, by the
// MySQL client's numbers or by their texts; a row's own failure does not.
TEST(ConnectionLost, TellsALostConnectionFromARowsOwnFailure) {
  struct Case {
    ado::DatabaseError error;
    bool lost;
  } cases[] = {
      {ado::DatabaseError("Communication link failure", 0, "08S01"), true},
      {ado::DatabaseError("Connection not open", 0, "08003"), true},
      {ado::DatabaseError("x", 2006, "HY000"), true},
      {ado::DatabaseError("x", 2013, "HY000"), true},
      {ado::DatabaseError("[ma-3.1.15][10.11.19-MariaDB]Server has gone away"), true},
      {ado::DatabaseError("Lost connection to server during query"), true},
      {ado::DatabaseError("Duplicate entry '3' for key 'PRIMARY'", 1062, "23000"), false},
      {ado::DatabaseError("Data too long for column 'name' at row 1", 1406, "22001"), false},
  };
  for (const Case& c : cases) EXPECT_EQ(ado::IsConnectionLost(c.error), c.lost) << c.error.what();
  EXPECT_FALSE(ado::IsConnectionLost(std::runtime_error("has gone away")));
}

TEST(NullSession, AcceptsEveryWriteAndReadsNothing) {
  ado::Connection cn;
  EXPECT_THROW(cn.execute("DROP TABLE x"), ado::DatabaseError);  // closed
  cn.attach(std::make_unique<ado::NullSession>());
  ASSERT_TRUE(cn.isOpen());
  cn.execute("DROP TABLE `x`;");
  auto table = cn.openTable("anything");
  table->append();
  table->setField("no such field", Variant(1));
  table->post();
  cn.prepare("UPDATE x SET a = ?")->execute({});
  auto q = cn.openQuery("SELECT * FROM x");
  EXPECT_TRUE(q->eof());
  EXPECT_EQ(q->fieldCount(), 0);
  auto indexes = cn.openSchema(ado::SchemaRowset::Indexes);
  EXPECT_TRUE(indexes->eof());
  EXPECT_EQ(indexes->recordCount(), 0);
  EXPECT_GE(indexes->fieldIndex("INDEX_NAME"), 0);
  indexes->setFilter("INDEX_NAME='x'");
  EXPECT_TRUE(indexes->eof());
}

// A float travels as the double of its shortest text, which stores back as the same
// float and never lies beyond the float range.
TEST(FloatValue, ReadsBackAsTheSameFloatWithinRange) {
  const float cases[] = {1.2f,
                         0.1f,
                         16777216.0f,
                         std::numeric_limits<float>::max(),
                         -std::numeric_limits<float>::max(),
                         std::nextafter(std::numeric_limits<float>::max(), 0.0f),
                         std::numeric_limits<float>::min(),
                         std::numeric_limits<float>::denorm_min(),
                         0.0f};
  for (float f : cases) {
    const double d = ado::FloatValue(f);
    EXPECT_EQ(static_cast<float>(d), f) << f;
    EXPECT_LE(std::fabs(d), static_cast<double>(std::numeric_limits<float>::max())) << f;
    // What a statement carries reads back as the same float too.
    EXPECT_EQ(std::strtof(ado::VariantToText(ado::Variant(d)).c_str(), nullptr), f) << f;
  }
  EXPECT_EQ(ado::FloatValue(1.2f), 1.2);
}

}  // namespace
