#include "integration/job/job_databases.h"

#include <signal.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "support/test_server.h"

namespace jobtest {

namespace fs = std::filesystem;

namespace {

std::string TestBaseName() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string name = std::string(info->test_suite_name()) + "_" + info->name();
  for (char& c : name)
    c = std::isalnum(static_cast<unsigned char>(c))
            ? static_cast<char>(std::tolower(static_cast<unsigned char>(c)))
            : '_';
  // Room for the prefix and suffix within MySQL's 64 characters; a hash keeps
  // shortened names apart.
  if (name.size() > 48)
    name = name.substr(0, 40) + "_" + std::to_string(std::hash<std::string>{}(name) % 10000000);
  return name;
}

void WriteDsn(std::ofstream& out, const std::string& dsn, const std::string& database) {
  const TestServer& s = TestServer::Get();
  out << "[" << dsn << "]\nDriver=MariaDB Unicode\nSERVER=" << s.host << "\nPORT=" << s.port
      << "\nDATABASE=" << database << "\nUSER=" << s.user << "\nPASSWORD=" << s.password
      << "\nCHARSET=utf8mb4\n\n";
}

std::string ProjectScript(const std::string& name) {
  // The tests run in the build tree; the scripts live beside its source.
  return std::string(QUILLMARK_SOURCE_DIR) + "/scripts/" + name;
}

std::string Text(const ado::Variant& v) {
  return v.isNull() ? "NULL" : ado::VariantToText(v);
}

}  // namespace

void JobDatabases::SetUp() {
  const TestServer& server = TestServer::Get();
  // The driver manager reads its set-up once per process, so every test of a process
  // (all of them when the binary is run by hand) uses the databases of the first one,
  // made fresh for each test.
  static const std::string base = TestBaseName();
  srcDb = "qmj_" + base + "_s";
  dstDb = "qmj_" + base + "_d";
  workDir_ = TestDataDir() + "/job-work/" + base;
  fs::remove_all(workDir_);
  fs::create_directories(workDir_ + "/odbc");
  fs::copy_file(server.odbcSysIni + "/odbcinst.ini", workDir_ + "/odbc/odbcinst.ini",
                fs::copy_options::overwrite_existing);
  {
    std::ofstream ini(workDir_ + "/odbc/odbc.ini");
    WriteDsn(ini, "qm_src", srcDb);
    WriteDsn(ini, "qm_dst", dstDb);
    WriteDsn(ini, "qm_test", "qm_test");
    // A short folder: the socket path must fit in 108 bytes.
    ownDir_ = TestDataDir() + "/own" + std::to_string(std::hash<std::string>{}(base) % 100000000);
    ini << "[qm_own]\nDriver=MariaDB Unicode\nSERVER=localhost\nSOCKET=" << ownDir_
        << "/mysqld.sock\nDATABASE=qm_dst\nUSER=" << server.user << "\nPASSWORD=" << server.password
        << "\nCHARSET=utf8mb4\n\n";
  }
  // Before any ODBC call of this process, so the driver manager reads only this set-up;
  // a quillmark-cli started by the test inherits it.
  setenv("ODBCSYSINI", (workDir_ + "/odbc").c_str(), 1);
  setenv("ODBCINI", (workDir_ + "/odbc/odbc.ini").c_str(), 1);
  admin.setConnectionString("Provider=MSDASQL.1;Data Source=qm_test");
  admin.open();
  for (const std::string& db : {srcDb, dstDb}) {
    admin.execute("DROP DATABASE IF EXISTS `" + db + "`");
    admin.execute("CREATE DATABASE `" + db + "` CHARACTER SET utf8mb4");
  }
}

void JobDatabases::StartOwnServer(const std::string& options) {
  const std::string command = ProjectScript("test-server") + " start '" + ownDir_ + "' " + options +
                              " >'" + workDir_ + "/own-server.log' 2>&1";
  ownStarted_ = true;
  if (std::system(command.c_str()) != 0)
    throw std::runtime_error("the test's own server did not start: " + ReadFile(workDir_ + "/own-server.log"));
}

void JobDatabases::KillOwnServer() {
  const int pid = std::atoi(ReadFile(ownDir_ + "/mysqld.pid").c_str());
  if (pid <= 0) throw std::runtime_error("the test's own server has no pid file");
  kill(pid, SIGKILL);
  for (int i = 0; i < 200 && kill(pid, 0) == 0; ++i)
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
}

void JobDatabases::TearDown() {
  if (ownStarted_) {
    const std::string command = ProjectScript("test-server") + " stop '" + ownDir_ + "' >/dev/null 2>&1";
    if (std::system(command.c_str()) == 0 && !HasFailure()) fs::remove_all(ownDir_);
  }
  // A failed test keeps its databases and files for a look.
  if (HasFailure()) return;
  for (const std::string& db : {srcDb, dstDb})
    if (admin.isOpen()) admin.execute("DROP DATABASE IF EXISTS `" + db + "`");
  fs::remove_all(workDir_);
}

void JobDatabases::OnSource(std::initializer_list<std::string> statements) {
  admin.execute("USE `" + srcDb + "`");
  for (const auto& s : statements) admin.execute(s);
  admin.execute("USE qm_test");
}

void JobDatabases::OnDest(std::initializer_list<std::string> statements) {
  admin.execute("USE `" + dstDb + "`");
  for (const auto& s : statements) admin.execute(s);
  admin.execute("USE qm_test");
}

std::vector<std::vector<std::string>> JobDatabases::Rows(const std::string& sql) {
  std::vector<std::vector<std::string>> out;
  auto rs = admin.openQuery(sql);
  for (rs->first(); !rs->eof(); rs->next()) {
    std::vector<std::string> row;
    for (int i = 0; i < rs->fieldCount(); ++i) row.push_back(Text(rs->value(i)));
    out.push_back(std::move(row));
  }
  return out;
}

std::string JobDatabases::Scalar(const std::string& sql) {
  auto rows = Rows(sql);
  if (rows.empty() || rows[0].empty()) throw std::runtime_error("no value from " + sql);
  return rows[0][0];
}

std::string WithoutTimestamp(std::string_view line) {
  const auto sep = line.find(" : ");
  if (sep == std::string_view::npos) return std::string(line);
  const std::string_view head = line.substr(0, sep);
  bool digit = false;
  for (char c : head) digit = digit || std::isdigit(static_cast<unsigned char>(c));
  // Column dumps ("name :value") have no " : " with a digit before it unless the
  // column name has one; the tests' column names have none.
  return digit ? std::string(line.substr(sep + 3)) : std::string(line);
}

std::vector<std::string> RecordingView::LogTexts() const {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < LogLines().size(); ++i)
    out.push_back(WithoutTimestamp(LogLines().line(i)));
  return out;
}

std::vector<job::TLogColor> RecordingView::LogColors() const {
  std::vector<job::TLogColor> out;
  for (std::size_t i = 0; i < LogLines().size(); ++i) out.push_back(LogLines().color(i));
  return out;
}

std::vector<std::string> RecordingView::ScriptTexts() const {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < ScriptLines().size(); ++i) out.emplace_back(ScriptLines().line(i));
  return out;
}

std::string ReadFile(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace jobtest
