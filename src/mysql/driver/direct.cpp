#include "mysql/driver/direct.h"

#include <cstring>
#include <memory>

#include "mysql/driver/field_layouts.h"

namespace mysql {

namespace {
namespace direct {

// What a result handle of the direct driver points at: the streamed result, and the
// lengths and field records in the shapes the entry points hand out.
struct DirectResult {
  std::unique_ptr<TMysqlResult> result;
  std::vector<unsigned long> lengths;
  std::vector<TNativeField41> fields;
};

TMySQLDirectClient* Session(TMySQLHandle h) {
  return reinterpret_cast<TMySQLDirectClient*>(h);
}
DirectResult* Result(TMySQLResult r) {
  return reinterpret_cast<DirectResult*>(r);
}

char* Chars(const std::string& s) {
  // The records hand out text the result owns; none for an empty one.
  return s.empty() ? nullptr : const_cast<char*>(s.c_str());
}

TMySQLHandle Init(TMySQLHandle) {
  return reinterpret_cast<TMySQLHandle>(new TMySQLDirectClient());
}

int Options(TMySQLHandle h, int option, const void* value) {
  TMySQLDirectClient* s = Session(h);
  auto seconds = [value] { return value ? *static_cast<const unsigned int*>(value) : 0u; };
  switch (option) {
    case kOptConnectTimeout: s->SetConnectTimeout(seconds()); break;
    case kOptCompress: s->SetCompress(true); break;
    case kOptNamedPipe:
      s->SetTcpFallback(true);
      s->SetNamedPipe(true);
      break;
    case kOptReadTimeout:
      TMysqlVio::SetDefaultTimeout(seconds());
      // The session took the default when it was made: without this the option would
      // reach only sessions made later, and reads would keep the connect time-out.
      s->SetReadTimeout(seconds());
      break;
    case kOptWriteTimeout: TMysqlVio::SetDefaultTimeout(seconds()); break;
    case kOptReconnect:
      s->SetReconnectAllowed(value && *static_cast<const char*>(value) != 0);
      break;
    default: break;
  }
  return 0;
}

TMySQLHandle RealConnect(TMySQLHandle h, const char* host, const char* user, const char* password,
                         const char* db, unsigned int port, const char* unixSocket,
                         unsigned long clientFlags) {
  TMySQLDirectClient* s = Session(h);
  auto text = [](const char* p) { return p ? std::string(p) : std::string(); };
  const ClientResult rc =
      s->Connect(text(host), text(user), text(password), text(db), port, text(unixSocket),
                 s->TcpFallback(), static_cast<uint32_t>(clientFlags));
  return rc == ClientResult::kOk ? h : nullptr;
}

void Close(TMySQLHandle h) {
  delete Session(h);
}

unsigned int Errno(TMySQLHandle h) {
  return h ? static_cast<unsigned int>(Session(h)->ErrorNumber()) : 1u;
}

const char* Error(TMySQLHandle h) {
  return Session(h)->ErrorText().c_str();
}

const char* HostInfo(TMySQLHandle) {
  return nullptr;
}

const char* ClientInfo() {
  return TMySQLDirect::kClientInfo;
}

const char* ServerInfo(TMySQLHandle h) {
  // MariaDB puts "5.5.5-" before its version for the sake of old clients; the version
  // is what follows, as the MariaDB client library reports it.
  const std::string& v = Session(h)->ServerVersion();
  if (v.compare(0, 6, "5.5.5-") == 0 && v.find("MariaDB") != std::string::npos) {
    return v.c_str() + 6;
  }
  return v.c_str();
}

unsigned int ProtoInfo(TMySQLHandle h) {
  return Session(h)->ProtocolVersion();
}

// The entry points' convention: 0 on success, non-zero on failure.
int Code(ClientResult rc) {
  return rc == ClientResult::kOk ? 0 : 1;
}

int Ping(TMySQLHandle h) {
  return Code(Session(h)->Ping());
}

unsigned long ThreadId(TMySQLHandle h) {
  return Session(h)->ThreadId();
}

int Kill(TMySQLHandle h, unsigned long id) {
  return Code(Session(h)->Kill(static_cast<uint32_t>(id)));
}

const char* Info(TMySQLHandle h) {
  return Session(h)->Info().c_str();
}

int CreateDb(TMySQLHandle h, const char* name) {
  return Code(Session(h)->CreateDb(name));
}
int SelectDb(TMySQLHandle h, const char* name) {
  return Code(Session(h)->SelectDb(name));
}
int DropDb(TMySQLHandle h, const char* name) {
  return Code(Session(h)->DropDb(name));
}

int RealQuery(TMySQLHandle h, const char* statement, unsigned long length) {
  // The whole statement: a zero byte inside it is data, not its end.
  return Code(Session(h)->Query(std::string(statement, length)));
}

TMySQLResult UseResult(TMySQLHandle h) {
  std::unique_ptr<TMysqlResult> r = Session(h)->UseResult();
  if (!r) return nullptr;
  auto out = std::make_unique<DirectResult>();
  out->lengths.assign(r->NumFields(), 0);
  out->fields.reserve(r->NumFields());
  for (const TMysqlField& f : r->Fields()) {
    TNativeField41 n{};
    n.name = Chars(f.name);
    n.org_name = Chars(f.org_name);
    n.table = Chars(f.table);
    n.org_table = Chars(f.org_table);
    n.db = Chars(f.db);
    n.catalog = Chars(f.catalog);
    n.def = Chars(f.def);
    n.length = f.length;
    n.max_length = f.max_length;
    n.name_length = static_cast<unsigned int>(f.name.size());
    n.org_name_length = static_cast<unsigned int>(f.org_name.size());
    n.table_length = static_cast<unsigned int>(f.table.size());
    n.org_table_length = static_cast<unsigned int>(f.org_table.size());
    n.db_length = static_cast<unsigned int>(f.db.size());
    n.catalog_length = static_cast<unsigned int>(f.catalog.size());
    n.def_length = static_cast<unsigned int>(f.def.size());
    n.flags = f.flags;
    n.decimals = f.decimals;
    n.charsetnr = f.charsetnr;
    n.type = f.type;
    out->fields.push_back(n);
  }
  out->result = std::move(r);
  return reinterpret_cast<TMySQLResult>(out.release());
}

void FreeResult(TMySQLResult r) {
  delete Result(r);
}

unsigned int NumFields(TMySQLResult r) {
  return Result(r)->result->NumFields();
}

unsigned long long NumRows(TMySQLResult r) {
  return Result(r)->result->NumRows();
}

unsigned long* FetchLengths(TMySQLResult r) {
  DirectResult* d = Result(r);
  const uint32_t* in = d->result->FetchLengths();
  for (size_t i = 0; i < d->lengths.size(); ++i) d->lengths[i] = in[i];
  return d->lengths.data();
}

const void* FetchField(TMySQLResult r) {
  DirectResult* d = Result(r);
  auto* result = static_cast<TMySQLDirectResult*>(d->result.get());
  if (!result->FetchField()) return nullptr;
  return &d->fields[static_cast<size_t>(result->FieldCursor())];
}

char** FetchRow(TMySQLResult r) {
  return const_cast<char**>(Result(r)->result->FetchRow());
}

unsigned long RealEscapeString(TMySQLHandle h, char* to, const char* from, unsigned long length) {
  const bool noBackslash = (Session(h)->ServerStatusFlags() & kServerNoBackslashEscapes) != 0;
  return TMySQLBase::EscapeDirect(to, from, length, noBackslash);
}

unsigned long long InsertId(TMySQLHandle h) {
  return Session(h)->InsertId();
}

int Refresh(TMySQLHandle, unsigned int) {
  return 0;
}

unsigned long long AffectedRows(TMySQLHandle h) {
  return Session(h)->AffectedRows();
}

}  // namespace direct
}  // namespace

TMySQLDirect::~TMySQLDirect() {
  CloseAllHandles();
}

void TMySQLDirect::InitFunctions() {
  TMySQLBase::InitFunctions();
  fn_ = TMySQLEntryPoints{
      .init = direct::Init,
      .options = direct::Options,
      .real_connect = direct::RealConnect,
      .close = direct::Close,
      .errno_ = direct::Errno,
      .error = direct::Error,
      .get_host_info = direct::HostInfo,
      .get_client_info = direct::ClientInfo,
      .get_server_info = direct::ServerInfo,
      .get_proto_info = direct::ProtoInfo,
      .ping = direct::Ping,
      .thread_id = direct::ThreadId,
      .kill = direct::Kill,
      .info = direct::Info,
      .create_db = direct::CreateDb,
      .select_db = direct::SelectDb,
      .drop_db = direct::DropDb,
      .real_query = direct::RealQuery,
      .use_result = direct::UseResult,
      .free_result = direct::FreeResult,
      .num_fields = direct::NumFields,
      .num_rows = direct::NumRows,
      .fetch_lengths = direct::FetchLengths,
      .fetch_field = direct::FetchField,
      .fetch_row = direct::FetchRow,
      .real_escape_string = direct::RealEscapeString,
      .insert_id = direct::InsertId,
      .refresh = direct::Refresh,
      .affected_rows = direct::AffectedRows,
  };
}

}  // namespace mysql
