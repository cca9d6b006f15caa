#include "hall/postgres_connection.h"

#include <libpq-fe.h>
#include <poll.h>

#include <charconv>
#include <climits>

namespace {

// libpq's messages run over several lines (a hint, an indented second line); one will do.
std::string one_line(const char* message) {
  std::string line;
  for (const char* character = message ? message : ""; *character; ++character) {
    if (*character == '\n' || *character == '\t') {
      if (!line.empty() && line.back() != ' ') line += ' ';
    } else {
      line += *character;
    }
  }
  while (!line.empty() && line.back() == ' ') line.pop_back();
  return line.empty() ? "unknown failure" : line;
}

// CREATE ... IF NOT EXISTS and the like tell of what they skipped; nobody needs to read it.
void ignore_notice(void*, const char*) {}

}  // namespace

postgres_value::postgres_value(int64_t number) : number_(std::to_string(number)) {}

postgres_value::postgres_value(int32_t number) : number_(std::to_string(number)) {}

postgres_value::postgres_value(double number) {
  char text[32];
  const auto written = std::to_chars(text, text + sizeof text, number);
  number_.assign(text, written.ptr);
}

postgres_value::postgres_value(const std::string& text) : data_(text.c_str()) {}

postgres_value::postgres_value(const char* text) : data_(text) {}

postgres_value::postgres_value(const std::vector<uint8_t>& bytes) : binary_(true) {
  // A null pointer would bind NULL: empty bytes still point somewhere.
  static const char kNothing = 0;
  if (bytes.size() > static_cast<size_t>(INT_MAX)) throw store_failure("database: value too large");
  data_ = bytes.empty() ? &kNothing : reinterpret_cast<const char*>(bytes.data());
  length_ = static_cast<int>(bytes.size());
}

void postgres_result::release::operator()(pg_result* result) const {
  PQclear(result);
}

int postgres_result::rows() const {
  return PQntuples(result_.get());
}

std::string postgres_result::text(int row, int column) const {
  return std::string(PQgetvalue(result_.get(), row, column),
                     static_cast<size_t>(PQgetlength(result_.get(), row, column)));
}

int64_t postgres_result::integer(int row, int column) const {
  const std::string digits = text(row, column);
  int64_t value = 0;
  const char* end = digits.data() + digits.size();
  const auto parsed = std::from_chars(digits.data(), end, value);
  if (parsed.ec != std::errc() || parsed.ptr != end)
    throw store_failure("database: a number that is not one: " + digits);
  return value;
}

bool postgres_result::boolean(int row, int column) const {
  return text(row, column) == "t";
}

std::vector<uint8_t> postgres_result::bytes(int row, int column) const {
  const auto* data = reinterpret_cast<const uint8_t*>(PQgetvalue(result_.get(), row, column));
  return std::vector<uint8_t>(data, data + PQgetlength(result_.get(), row, column));
}

int64_t postgres_result::changed() const {
  const char* count = PQcmdTuples(result_.get());
  int64_t value = 0;
  std::from_chars(count, count + std::char_traits<char>::length(count), value);
  return value;
}

postgres_connection::postgres_connection(const std::string& connection_string) {
  // The hall's defaults come before the connection string, which may change them; the
  // encoding the hall's text is in comes after it.
  const char* const keywords[] = {"application_name", "connect_timeout", "dbname",
                                  "client_encoding", nullptr};
  const char* const values[] = {"vextral-hall", "10", connection_string.c_str(), "UTF8", nullptr};
  connection_ = PQconnectdbParams(keywords, values, 1);
  if (!connection_ || PQstatus(connection_) != CONNECTION_OK) {
    const std::string message =
        connection_ ? one_line(PQerrorMessage(connection_)) : "out of memory";
    PQfinish(connection_);
    throw store_failure("database: " + message);
  }
  PQsetNoticeProcessor(connection_, ignore_notice, nullptr);
}

postgres_connection::~postgres_connection() {
  PQfinish(connection_);
}

postgres_result postgres_connection::run(const char* sql,
                                         std::initializer_list<postgres_value> values,
                                         results format) {
  std::vector<const char*> data;
  std::vector<int> lengths, formats;
  for (const postgres_value& value : values) {
    data.push_back(value.data_ ? value.data_ : value.number_.c_str());
    lengths.push_back(value.length_);
    formats.push_back(value.binary_ ? 1 : 0);
  }
  postgres_result result;
  result.result_.reset(PQexecParams(connection_, sql, static_cast<int>(data.size()), nullptr,
                                    data.data(), lengths.data(), formats.data(),
                                    format == results::binary ? 1 : 0));
  const ExecStatusType status =
      result.result_ ? PQresultStatus(result.result_.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(result.result_.get());
  return result;
}

void postgres_connection::run_script(const char* sql) {
  postgres_result result;
  result.result_.reset(PQexec(connection_, sql));
  const ExecStatusType status =
      result.result_ ? PQresultStatus(result.result_.get()) : PGRES_FATAL_ERROR;
  if (status != PGRES_COMMAND_OK && status != PGRES_TUPLES_OK) fail(result.result_.get());
}

bool postgres_connection::broken() {
  // Never blocks: takes in only what has arrived. A server ending a connection sends why,
  // then closes it; the close is seen on a second read.
  for (int read = 0; read < 4 && PQstatus(connection_) == CONNECTION_OK; ++read) {
    pollfd waiting{PQsocket(connection_), POLLIN, 0};
    if (poll(&waiting, 1, 0) != 1 || !PQconsumeInput(connection_)) break;
  }
  return PQstatus(connection_) == CONNECTION_BAD;
}

std::string postgres_connection::where() const {
  return std::string("database ") + PQdb(connection_) + " at " + PQhost(connection_) + ":" +
         PQport(connection_);
}

void postgres_connection::fail(const pg_result* result) const {
  const char* primary = result ? PQresultErrorField(result, PG_DIAG_MESSAGE_PRIMARY) : nullptr;
  throw store_failure("database: " + one_line(primary ? primary : PQerrorMessage(connection_)));
}

postgres_transaction::postgres_transaction(postgres_connection& connection)
    : connection_(connection) {
  connection_.run("BEGIN");
}

postgres_transaction::~postgres_transaction() {
  if (!open_ || connection_.broken()) return;
  try {
    connection_.run("ROLLBACK");
  } catch (const store_failure&) {
    // The connection is in no state to go on; its next statement says so.
  }
}

void postgres_transaction::commit() {
  connection_.run("COMMIT");
  open_ = false;
}
