// The driver interface without a server: version numbers, escaping, neutral values of
// zero handles, the error message forms, options, and libraries that fail to load.
#include <gtest/gtest.h>
#include <unistd.h>

#include <clocale>
#include <cstdio>
#include <fstream>
#include <memory>
#include <string>

#include "mysql/driver/direct.h"
#include "mysql/driver/library.h"

using mysql::EMySQLError;
using mysql::TMySQLBase;
using mysql::TMySQLDirect;
using mysql::TMySQLEmbedded;
using mysql::TMySQLLibrary;

TEST(MysqlDriver, VersionNumbers) {
  const std::pair<const char*, int> cases[] = {
      {"4.1.14", 40114},
      {"3.3.20", 30320},
      {"10.11.19-MariaDB", 101119},
      {"10.11.19-MariaDB-0+deb12u1", 101119},
      {"5.0.27-community-nt", 50027},
      {"4.1.14a", 40114},
      {"4.0 beta", 40000},
      {"x.y.z", 32100},
      {"", 32100},
  };
  for (const auto& [text, number] : cases) {
    EXPECT_EQ(TMySQLBase::VersionNumber(text), number) << text;
  }
}

TEST(MysqlDriver, EscapingWithoutAConnection) {
  const std::pair<std::string, std::string> cases[] = {
      {"it's \\", "it\\'s \\\\"},
      {std::string("a\0b", 3), "a\\0b"},
      {"\t\n\r\"", "\\t\\n\\r\\\""},
      {"plain \x1A text \xC3\xA4", "plain \x1A text \xC3\xA4"},
      {"", ""},
  };
  // The library driver has no connection to escape with: it uses the direct rule
  // instead of calling into the library.
  TMySQLDirect direct;
  TMySQLLibrary library;
  for (const auto& [text, escaped] : cases) {
    EXPECT_EQ(direct.EscapeString(text), escaped) << text;
    EXPECT_EQ(library.EscapeString(text), escaped) << text;
  }
}

TEST(MysqlDriver, ZeroHandlesGiveNeutralValues) {
  TMySQLDirect d;
  EXPECT_EQ(d.ServerInfo(nullptr), "-1");
  EXPECT_EQ(d.Info(nullptr), "-1");
  EXPECT_EQ(d.HostInfo(nullptr), "No server connection");
  EXPECT_FALSE(d.Ping(nullptr));
  EXPECT_FALSE(d.CreateDb(nullptr, "x"));
  EXPECT_FALSE(d.SelectDb(nullptr, "x"));
  EXPECT_FALSE(d.DropDb(nullptr, "x"));
  EXPECT_FALSE(d.Refresh(nullptr, 0));
  EXPECT_EQ(d.Query(nullptr, "select 1"), nullptr);
  EXPECT_EQ(d.ErrorNumber(nullptr), 0);
  EXPECT_EQ(d.ErrorText(nullptr), "");
  EXPECT_EQ(d.ProtoInfo(nullptr), 0u);
  EXPECT_EQ(d.ThreadId(nullptr), 0u);
  EXPECT_EQ(d.NumFields(nullptr), 0u);
  EXPECT_EQ(d.NumRows(nullptr), 0u);
  EXPECT_EQ(d.FetchRow(nullptr), nullptr);
  std::string value = "kept";
  d.InsertId(nullptr, value);
  d.AffectedRows(nullptr, value);
  EXPECT_EQ(value, "kept");
  mysql::TMysqlField field;
  field.name = "kept";
  d.FetchField(nullptr, field);
  EXPECT_EQ(field.name, "kept");
  mysql::TMySQLHandle none = nullptr;
  d.Close(none);
  EXPECT_EQ(d.Handle(), nullptr);
  EXPECT_EQ(d.LoadedClientInfo(), "4.1.14");
}

TEST(MysqlDriver, ErrorMessageForms) {
  TMySQLDirect d;
  struct Case {
    int number;
    const char* message;
    const char* expected;
  };
  const Case cases[] = {
      {5, "msg", "[5] msg\r\nClient:4.1.14"},
      {0, "msg", "[0] msg\r\nClient:4.1.14"},
      {-1, "msg", "msg\r\nClient:4.1.14"},
  };
  d.Load();
  for (const auto& c : cases) {
    try {
      d.RaiseError(nullptr, c.number, c.message);
    } catch (const EMySQLError& e) {
      EXPECT_EQ(std::string(e.what()), c.expected);
      EXPECT_EQ(e.ErrorNumber(), c.number);
      EXPECT_EQ(e.nativeCode(), c.number) << "the database error carries the number too";
    }
  }
  d.Unload();
  try {
    d.RaiseError(nullptr, 7, "unloaded");
  } catch (const EMySQLError& e) {
    EXPECT_EQ(std::string(e.what()), "[7] unloaded") << "no client text when nothing is loaded";
  }
}

TEST(MysqlDriver, OptionsTextAndEmbeddedServerArguments) {
  TMySQLEmbedded d(
      "datadir=/tmp/x\r\nprotocol=pipe\r\n\r\nskip-grant-tables\nconnect_timeout=5\r\n"
      " Socket = /s\r\nkey-buffer-size=1M");
  EXPECT_EQ(d.Options(),
            (std::vector<std::string>{"datadir=/tmp/x", "protocol=pipe", "skip-grant-tables",
                                      "connect_timeout=5", " Socket = /s", "key-buffer-size=1M"}));
  EXPECT_EQ(d.ServerArguments(),
            (std::vector<std::string>{mysql::ProgramPath(), "--datadir=/tmp/x",
                                      "--skip-grant-tables", "--key-buffer-size=1M"}))
      << "the driver's own keys are not server options";
  EXPECT_EQ(d.ClientDLL(), "libmariadbd.so.19");
  TMySQLLibrary l;
  EXPECT_EQ(l.ClientDLL(), "libmariadb.so.3");
}

// Under tr_TR the C library lower-cases 'I' to no ASCII letter: the driver's keys must
// still be known in capitals there, and not reach the embedded server as its options.
TEST(MysqlDriver, DriverKeysInAnyCaseUnderAnyLocale) {
  ASSERT_NE(std::setlocale(LC_ALL, "tr_TR.UTF-8"), nullptr)
      << "locale tr_TR.UTF-8 is missing; scripts/install-deps generates it";
  TMySQLEmbedded d(
      "datadir=/tmp/x\r\nPIPE\r\nConnect_Timeout=5\r\nREAD_TIMEOUT=1\r\nWrite_Timeout=1\r\n"
      "AutoReconnect=1\r\nPROTOCOL=tcp\r\nSOCKET=/s");
  const std::vector<std::string> arguments = d.ServerArguments();
  std::setlocale(LC_ALL, "C");
  EXPECT_EQ(arguments, (std::vector<std::string>{mysql::ProgramPath(), "--datadir=/tmp/x"}));
}

TEST(MysqlDriver, LibrariesThatCannotServe) {
  const std::string tail =
      " in your program's directory or alternatively in a system library folder (one the "
      "dynamic loader searches, or one named in LD_LIBRARY_PATH).";
  char notLibrary[] = "/tmp/qm-not-a-library-XXXXXX";
  int fd = ::mkstemp(notLibrary);
  ASSERT_GE(fd, 0);
  ::close(fd);
  std::ofstream(notLibrary) << "just text\n";
  struct Case {
    const char* what;
    std::string file;
    bool embedded;
  };
  const Case cases[] = {
      {"missing file", "/nonexistent/libmariadb.so.3", false},
      {"not a library", notLibrary, false},
      {"missing embedded library", "libqm-no-such-library.so.19", true},
  };
  for (const auto& c : cases) {
    std::unique_ptr<TMySQLLibrary> d =
        c.embedded ? std::make_unique<TMySQLEmbedded>() : std::make_unique<TMySQLLibrary>();
    d->SetClientDLL(c.file);
    try {
      d->Load();
      ADD_FAILURE() << c.what << ": loaded";
    } catch (const EMySQLError&) {
      ADD_FAILURE() << c.what << ": a plain exception was expected";
    } catch (const std::runtime_error& e) {
      const std::string expected =
          "Could not load MySQL library " + c.file + " (it comes with Debian's package " +
          (c.embedded ? "libmariadbd19" : "libmariadb3") + "). Please place " + c.file + tail;
      EXPECT_EQ(std::string(e.what()).substr(0, expected.size()), expected) << c.what;
      EXPECT_GT(std::string(e.what()).size(), expected.size())
          << c.what << ": the loader's reason follows";
    }
    EXPECT_FALSE(d->Loaded()) << c.what;
  }
  std::remove(notLibrary);

  // A real library without the entry points: loading works, every call says what is
  // missing.
  TMySQLLibrary d;
  d.SetClientDLL("libz.so.1");
  d.Load();
  EXPECT_TRUE(d.Loaded());
  try {
    d.Connect("127.0.0.1", "qm", "", 3306, 0, "");
    ADD_FAILURE() << "connected through zlib";
  } catch (const EMySQLError&) {
    ADD_FAILURE() << "a plain exception was expected";
  } catch (const std::runtime_error& e) {
    EXPECT_EQ(std::string(e.what()), mysql::kNotImplementedMessage);
    EXPECT_EQ(std::string(e.what()).rfind("This MySQL API call is not implemented in the library "
                                          "you are using.  Please update your library",
                                          0),
              0u);
  }
  EXPECT_THROW(d.ClientInfo(), std::runtime_error);
  EXPECT_EQ(d.Handle(), nullptr);
}
