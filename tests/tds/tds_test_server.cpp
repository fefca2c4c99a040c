#include "tests/tds/tds_test_server.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <optional>
#include <utility>

#include "platform/utf.h"

namespace corvalen::testing {
namespace {

// Message types of the packet header.
enum : uint8_t {
  kSqlBatch = 0x01,
  kReply = 0x04,
  kAttention = 0x06,
  kTransactionRequest = 0x0E,
  kLogin7 = 0x10,
  kPrelogin = 0x12,
};
// Tokens.
enum : uint8_t {
  kColMetadata = 0x81,
  kError = 0xAA,
  kInfo = 0xAB,
  kLoginAck = 0xAD,
  kRow = 0xD1,
  kEnvChange = 0xE3,
  kDone = 0xFD,
};
// DONE status flags.
enum : uint16_t {
  kDoneMore = 0x01,
  kDoneError = 0x02,
  kDoneCount = 0x10,
  kDoneAttention = 0x20,
};
// ENVCHANGE types.
enum : uint8_t {
  kEnvDatabase = 1,
  kEnvLanguage = 2,
  kEnvPacketSize = 4,
  kEnvCollation = 7,
  kEnvBeginTransaction = 8,
  kEnvCommitTransaction = 9,
  kEnvRollbackTransaction = 10,
};
constexpr size_t kHeaderSize = 8;
// Latin1_General_CI_AS.
constexpr uint8_t kCollation[5] = {0x09, 0x04, 0xD0, 0x00, 0x34};

uint16_t Le16(const uint8_t* p) { return static_cast<uint16_t>(p[0] | (p[1] << 8)); }
uint32_t Le32(const uint8_t* p) { return Le16(p) | (static_cast<uint32_t>(Le16(p + 2)) << 16); }

std::string Upper(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = (c >= 'a' && c <= 'z') ? static_cast<char>(c - 32) : c;
  return out;
}

std::string_view Trim(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() &&
         (text.back() == ' ' || text.back() == '\t' || text.back() == '\r' || text.back() == ';'))
    text.remove_suffix(1);
  return text;
}

// The text between the first pair of single quotes.
std::string Quoted(std::string_view text) {
  const size_t open = text.find('\'');
  if (open == std::string_view::npos) return "";
  const size_t close = text.find('\'', open + 1);
  return std::string(
      text.substr(open + 1, close == std::string_view::npos ? close : close - open - 1));
}

// The first number in `text` after `from`.
long NumberAfter(std::string_view text, size_t from = 0) {
  size_t i = text.find_first_of("0123456789", from);
  long value = 0;
  while (i < text.size() && text[i] >= '0' && text[i] <= '9')
    value = value * 10 + (text[i++] - '0');
  return value;
}

std::string VersionName(uint32_t version) {
  const uint32_t high = version >> 24;
  return std::to_string(high >> 4) + "." + std::to_string(high & 0x0F);
}

}  // namespace

// One client connection, served on a thread of its own.
class TdsTestServer::Session {
 public:
  Session(TdsTestServer& server, SocketHandle socket) : server_(server), socket_(socket) {}
  ~Session() { CloseSocket(socket_); }
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  void Run() {
    uint8_t type = 0;
    std::vector<uint8_t> payload;
    while (ReadMessage(&type, &payload)) {
      bool go_on = true;
      switch (type) {
        case kPrelogin:
          Prelogin();
          break;
        case kLogin7:
          Login(payload);
          break;
        case kSqlBatch:
          go_on = Batch(payload);
          break;
        case kTransactionRequest:
          go_on = TransactionRequest(payload);
          break;
        case kAttention:
          server_.Record("attention");
          Done(kDoneAttention);
          Flush(true);
          break;
        default:
          Message(kError, 16, 0, "Unsupported request.", 0);
          Done(kDoneError);
          Flush(true);
      }
      if (!go_on) return;
    }
  }

 private:
  enum class Wait { kElapsed, kAttention, kClosed };

  bool Tds72() const { return version_ >= 0x72000000; }

  // Reads one packet into `in_`; false when the client is gone or the
  // server stops.
  bool ReadPacket(uint8_t* type, uint8_t* status, std::vector<uint8_t>* payload) {
    if (!Fill(kHeaderSize)) return false;
    const size_t length = (static_cast<size_t>(in_[2]) << 8) | in_[3];
    if (length < kHeaderSize || !Fill(length)) return false;
    *type = in_[0];
    *status = in_[1];
    payload->insert(payload->end(), in_.begin() + kHeaderSize,
                    in_.begin() + static_cast<ptrdiff_t>(length));
    in_.erase(in_.begin(), in_.begin() + static_cast<ptrdiff_t>(length));
    return true;
  }

  bool Fill(size_t size) {
    while (in_.size() < size) {
      if (server_.stopping_) return false;
      const int ready = WaitReadable(socket_, 100);
      if (ready < 0) return false;
      if (ready == 0) continue;
      uint8_t buffer[8192];
      const long n = ReceiveSome(socket_, buffer, sizeof buffer);
      if (n <= 0) return false;
      in_.insert(in_.end(), buffer, buffer + n);
    }
    return true;
  }

  // A whole message, its packets joined.
  bool ReadMessage(uint8_t* type, std::vector<uint8_t>* payload) {
    payload->clear();
    uint8_t status = 0;
    if (!ReadPacket(type, &status, payload)) return false;
    while (!(status & 0x01)) {
      uint8_t next = 0;
      if (!ReadPacket(&next, &status, payload)) return false;
    }
    return true;
  }

  // Waits `seconds` for an ATTENTION; `deaf` journals one and goes on
  // waiting.
  Wait WaitForAttention(double seconds, bool deaf) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::duration<double>(seconds);
    while (std::chrono::steady_clock::now() < end) {
      if (server_.stopping_) return Wait::kClosed;
      if (in_.size() < kHeaderSize) {
        const int ready = WaitReadable(socket_, 50);
        if (ready < 0) return Wait::kClosed;
        if (ready == 0) continue;
      }
      uint8_t type = 0, status = 0;
      std::vector<uint8_t> payload;
      if (!ReadPacket(&type, &status, &payload)) return Wait::kClosed;
      if (type != kAttention) continue;
      server_.Record("attention");
      if (!deaf) return Wait::kAttention;
    }
    return Wait::kElapsed;
  }

  // ---- Writing tokens into the reply, sent in packets of the negotiated size.
  void U8(uint8_t v) { out_.push_back(v); }
  void U16(uint16_t v) { U8(static_cast<uint8_t>(v)), U8(static_cast<uint8_t>(v >> 8)); }
  void U32(uint32_t v) { U16(static_cast<uint16_t>(v)), U16(static_cast<uint16_t>(v >> 16)); }
  void U64(uint64_t v) { U32(static_cast<uint32_t>(v)), U32(static_cast<uint32_t>(v >> 32)); }
  void Ucs2(const std::u16string& text) {
    for (char16_t c : text) U16(c);
  }
  void BVarchar(const std::string& text) {
    const std::u16string wide = Utf8ToUtf16(text);
    U8(static_cast<uint8_t>(wide.size()));
    Ucs2(wide);
  }
  static uint16_t BVarcharSize(const std::string& text) {
    return static_cast<uint16_t>(1 + 2 * Utf8ToUtf16(text).size());
  }

  void Flush(bool end_of_message) {
    const size_t room = packet_size_ - kHeaderSize;
    size_t at = 0;
    do {
      const size_t n = std::min(room, out_.size() - at);
      const bool last = at + n == out_.size();
      uint8_t header[kHeaderSize] = {kReply,
                                     static_cast<uint8_t>(last && end_of_message ? 1 : 0),
                                     static_cast<uint8_t>((n + kHeaderSize) >> 8),
                                     static_cast<uint8_t>(n + kHeaderSize),
                                     0,
                                     55,
                                     packet_id_++,
                                     0};
      std::vector<uint8_t> packet(header, header + kHeaderSize);
      packet.insert(packet.end(), out_.begin() + static_cast<ptrdiff_t>(at),
                    out_.begin() + static_cast<ptrdiff_t>(at + n));
      SendAll(socket_, packet.data(), packet.size());
      at += n;
    } while (at < out_.size());
    out_.clear();
  }

  void EnvChange(uint8_t type, const std::string& new_value, const std::string& old_value) {
    U8(kEnvChange);
    U16(static_cast<uint16_t>(1 + BVarcharSize(new_value) + BVarcharSize(old_value)));
    U8(type);
    BVarchar(new_value);
    BVarchar(old_value);
  }
  void EnvChangeBytes(uint8_t type, const std::vector<uint8_t>& new_value,
                      const std::vector<uint8_t>& old_value) {
    U8(kEnvChange);
    U16(static_cast<uint16_t>(3 + new_value.size() + old_value.size()));
    U8(type);
    U8(static_cast<uint8_t>(new_value.size()));
    out_.insert(out_.end(), new_value.begin(), new_value.end());
    U8(static_cast<uint8_t>(old_value.size()));
    out_.insert(out_.end(), old_value.begin(), old_value.end());
  }

  // An ERROR or INFO token.
  void Message(uint8_t token, uint8_t severity, int32_t number, const std::string& text,
               int32_t line) {
    const std::u16string wide = Utf8ToUtf16(text);
    const std::string server_name = "corvalen-tds";
    U8(token);
    U16(static_cast<uint16_t>(4 + 1 + 1 + 2 + 2 * wide.size() + BVarcharSize(server_name) +
                              BVarcharSize("") + (Tds72() ? 4 : 2)));
    U32(static_cast<uint32_t>(number));
    U8(1);  // state
    U8(severity);
    U16(static_cast<uint16_t>(wide.size()));
    Ucs2(wide);
    BVarchar(server_name);
    BVarchar("");
    if (Tds72()) {
      U32(static_cast<uint32_t>(line));
    } else {
      U16(static_cast<uint16_t>(line));
    }
  }
  void Error(int32_t number, const std::string& text, int32_t line) {
    Message(kError, 16, number, text, line);
  }

  void Done(uint16_t status, uint64_t rows = 0) {
    // The last statement of a batch that doomed its transaction is followed
    // by Msg 3998.
    if (in_batch_ && doomed_) status |= kDoneMore;
    U8(kDone);
    U16(status);
    U16(0);  // current command
    if (Tds72()) {
      U64(rows);
    } else {
      U32(static_cast<uint32_t>(rows));
    }
  }

  // One row of unnamed INT columns.
  void IntRow(const std::vector<int64_t>& values) {
    U8(kColMetadata);
    U16(static_cast<uint16_t>(values.size()));
    for (size_t i = 0; i < values.size(); ++i) {
      Tds72() ? U32(0) : U16(0);
      U16(0);    // not nullable
      U8(0x38);  // INT
      BVarchar("");
    }
    U8(kRow);
    for (int64_t v : values) U32(static_cast<uint32_t>(v));
  }

  void Columns(bool with_name_column) {
    U8(kColMetadata);
    U16(with_name_column ? 2 : 1);
    auto user_type = [&] { Tds72() ? U32(0) : U16(0); };
    user_type();
    U16(0);    // flags: not nullable
    U8(0x38);  // INT
    BVarchar(with_name_column ? "id" : "");
    if (!with_name_column) return;
    user_type();
    U16(1);    // nullable
    U8(0xE7);  // NVARCHAR
    U16(80);   // bytes
    out_.insert(out_.end(), kCollation, kCollation + 5);
    BVarchar("nombre");
  }
  void Row(int32_t id, const std::string* name) {
    U8(kRow);
    U32(static_cast<uint32_t>(id));
    if (name == nullptr) return;
    const std::u16string wide = Utf8ToUtf16(*name);
    U16(static_cast<uint16_t>(2 * wide.size()));
    Ucs2(wide);
  }

  // ---- Requests.
  void Prelogin() {
    // VERSION, ENCRYPTION (not supported), INSTOPT, MARS, terminator.
    const uint8_t options[][2] = {{0x00, 6}, {0x01, 1}, {0x02, 1}, {0x04, 1}};
    const uint8_t values[] = {16, 0, 0x07, 0xD0, 0, 0, /*encryption*/ 0x02, 0, 0};
    uint16_t offset = sizeof options / sizeof options[0] * 5 + 1;
    for (const auto& option : options) {
      U8(option[0]);
      U8(static_cast<uint8_t>(offset >> 8)), U8(static_cast<uint8_t>(offset));
      U8(0), U8(option[1]);
      offset = static_cast<uint16_t>(offset + option[1]);
    }
    U8(0xFF);
    out_.insert(out_.end(), values, values + sizeof values);
    Flush(true);
  }

  void Login(const std::vector<uint8_t>& p) {
    if (p.size() < 94) return;
    TdsLogin login;
    version_ = Le32(&p[4]);
    login.tds_version = VersionName(version_);
    login.packet_size = Le32(&p[8]);
    auto field = [&](size_t at, bool password) {
      const size_t offset = Le16(&p[at]), chars = Le16(&p[at + 2]);
      std::u16string text;
      for (size_t i = 0; i < chars && offset + 2 * i + 1 < p.size(); ++i) {
        uint8_t b[2] = {p[offset + 2 * i], p[offset + 2 * i + 1]};
        if (password) {
          for (uint8_t& x : b) {
            x ^= 0xA5;
            x = static_cast<uint8_t>((x << 4) | (x >> 4));
          }
        }
        text += static_cast<char16_t>(b[0] | (b[1] << 8));
      }
      return Utf16ToUtf8(text);
    };
    login.user = field(40, false);
    login.password = field(44, true);
    login.database = field(68, false);
    database_ = login.database.empty() ? "master" : login.database;
    if (server_.packet_size_ > 0) {
      packet_size_ = server_.packet_size_;
    } else if (login.packet_size >= 512 && login.packet_size <= 32767) {
      packet_size_ = login.packet_size;
    }
    server_.Record("login " + database_);
    server_.RecordLogin(login);

    EnvChange(kEnvDatabase, database_, "master");
    Message(kInfo, 0, 5701, "Changed database context to '" + database_ + "'.", 0);
    EnvChangeBytes(kEnvCollation, std::vector<uint8_t>(kCollation, kCollation + 5), {});
    EnvChange(kEnvLanguage, "us_english", "");
    Message(kInfo, 0, 5703, "Changed language setting to us_english.", 0);
    const std::string product = "Microsoft SQL Server";
    U8(kLoginAck);
    U16(static_cast<uint16_t>(1 + 4 + BVarcharSize(product) + 4));
    U8(1);
    for (int shift = 24; shift >= 0; shift -= 8) U8(static_cast<uint8_t>(version_ >> shift));
    BVarchar(product);
    U8(16), U8(0), U8(0x07), U8(0xD0);
    EnvChange(kEnvPacketSize, std::to_string(packet_size_), std::to_string(packet_size_));
    Done(0);
    Flush(true);
  }

  // ALL_HEADERS of a 7.2+ request: returns where the request's own data
  // starts, and the transaction descriptor it names.
  size_t SkipHeaders(const std::vector<uint8_t>& p, uint64_t* descriptor) {
    *descriptor = 0;
    if (!Tds72() || p.size() < 4) return 0;
    const size_t total = std::min<size_t>(Le32(&p[0]), p.size());
    for (size_t at = 4; at + 6 <= total;) {
      const size_t length = Le32(&p[at]);
      if (Le16(&p[at + 4]) == 2 && at + 14 <= total) {
        *descriptor = Le32(&p[at + 6]) | (static_cast<uint64_t>(Le32(&p[at + 10])) << 32);
      }
      if (length == 0) break;
      at += length;
    }
    return total;
  }

  std::vector<uint8_t> DescriptorBytes() const {
    std::vector<uint8_t> bytes;
    for (int i = 0; i < 8; ++i) bytes.push_back(static_cast<uint8_t>(descriptor_ >> (8 * i)));
    return bytes;
  }
  void Begin() {
    if (trancount_++ > 0) return;
    ++server_descriptors_;
    descriptor_ = 0x1000 + server_descriptors_;
    transaction_id_ = server_.NewTransactionId();
    EnvChangeBytes(kEnvBeginTransaction, DescriptorBytes(), {});
  }
  // Under implicit transactions a statement at count 0 opens one first.
  void OpenImplicitly() {
    if (implicit_ && trancount_ == 0) Begin();
  }
  // Commit (or rollback) as the statement does; false with none open. A
  // commit above count 1 only lowers the count (as SQL Server's COMMIT TRAN
  // does; that its transaction-manager commit request does the same is an
  // assumption). A full rollback ends every level.
  bool End(bool commit, int32_t line) {
    if (trancount_ == 0) {
      Error(commit ? 3902 : 3903,
            std::string("The ") + (commit ? "COMMIT" : "ROLLBACK") +
                " TRANSACTION request has no corresponding BEGIN TRANSACTION.",
            line);
      return false;
    }
    trancount_ = commit ? trancount_ - 1 : 0;
    if (trancount_ == 0) {
      server_.EndTransaction(commit, pending_);
      pending_.clear();
      savepoints_.clear();
      doomed_ = false;
      EnvChangeBytes(commit ? kEnvCommitTransaction : kEnvRollbackTransaction, {},
                     DescriptorBytes());
      descriptor_ = 0;
    }
    return true;
  }
  // A statement that writes: kept at once outside a transaction.
  void Change(int32_t line, std::string_view s, uint16_t more) {
    if (doomed_) {
      Error(3930,
            "The current transaction cannot be committed and cannot support operations that "
            "write into the log file. Roll back the transaction.",
            line);
      Done(static_cast<uint16_t>(more | kDoneError));
      return;
    }
    OpenImplicitly();
    if (trancount_ > 0) {
      pending_.emplace_back(s);
    } else {
      server_.EndTransaction(true, {std::string(s)});
    }
    Done(static_cast<uint16_t>(more | kDoneCount), 1);
  }
  // An error of a statement: under XACT_ABORT it dooms the transaction.
  void StatementError(int32_t number, const std::string& text, int32_t line) {
    Error(number, text, line);
    if (xact_abort_ && trancount_ > 0) doomed_ = true;
  }

  // Answers nothing for `seconds` (not even an ATTENTION), then closes.
  bool Deaf(double seconds) {
    if (!out_.empty()) Flush(false);
    WaitForAttention(seconds, true);
    return false;
  }

  // False when the connection ends with it.
  bool TransactionRequest(const std::vector<uint8_t>& p) {
    uint64_t descriptor = 0;
    size_t at = SkipHeaders(p, &descriptor);
    if (at + 2 > p.size()) return true;
    const uint16_t request = Le16(&p[at]);
    at += 2;
    bool ok = true;
    if (request == 5) {
      server_.Record("tm begin");
      Begin();
    } else if (request == 7 || request == 8) {
      // name, then the "begin a new one" flag
      size_t flags_at = at < p.size() ? at + 1 + p[at] * 2 : p.size();
      const bool and_begin = flags_at < p.size() && (p[flags_at] & 0x01);
      server_.Record(std::string(request == 7 ? "tm commit" : "tm rollback") +
                     (and_begin ? "+begin" : ""));
      if (request == 7 && deaf_at_commit_ >= 0) return Deaf(deaf_at_commit_);
      ok = End(request == 7, 0);
      if (ok && and_begin) Begin();
    } else {
      server_.Record("tm " + std::to_string(request));
    }
    Done(ok ? 0 : kDoneError);
    Flush(true);
    return true;
  }

  // Runs a batch; false when the connection ends with it.
  bool Batch(const std::vector<uint8_t>& p) {
    uint64_t descriptor = 0;
    const size_t start = SkipHeaders(p, &descriptor);
    std::u16string wide;
    for (size_t i = start; i + 1 < p.size(); i += 2) wide += static_cast<char16_t>(Le16(&p[i]));
    const std::string text = Utf16ToUtf8(wide);
    const bool in_transaction = descriptor != 0 && descriptor == descriptor_ && trancount_ > 0;
    server_.Record((in_transaction ? "tx batch: " : "batch: ") + text);

    std::vector<std::pair<int32_t, std::string_view>> statements;
    int32_t line = 0;
    for (size_t at = 0; at <= text.size();) {
      size_t end = text.find('\n', at);
      if (end == std::string::npos) end = text.size();
      ++line;
      std::string_view s = Trim(std::string_view(text).substr(at, end - at));
      if (!s.empty() && !s.starts_with("--")) statements.emplace_back(line, s);
      at = end + 1;
    }
    if (statements.empty()) {
      Done(0);
      Flush(true);
      return true;
    }
    const std::string first = Upper(statements.front().second);
    if (deaf_at_check_ >= 0 && first.starts_with("SELECT @@TRANCOUNT")) return Deaf(deaf_at_check_);
    if (deaf_at_commit_ >= 0 && first.starts_with("IF @@TRANCOUNT > 0 COMMIT")) {
      return Deaf(deaf_at_commit_);
    }
    in_batch_ = true;
    for (size_t k = 0; k < statements.size(); ++k) {
      const uint16_t more = k + 1 < statements.size() ? kDoneMore : 0;
      switch (Statement(statements[k].first, statements[k].second, more)) {
        case Outcome::kDone:
          break;
        case Outcome::kAttention:
          in_batch_ = false;
          Done(kDoneAttention);
          Flush(true);
          return true;
        case Outcome::kClosed:
          in_batch_ = false;
          return false;
      }
    }
    in_batch_ = false;
    // A transaction doomed under XACT_ABORT is rolled back as the batch ends.
    if (doomed_) {
      End(false, 0);
      Error(3998,
            "Uncommittable transaction is detected at the end of the batch. The transaction is "
            "rolled back.",
            0);
      Done(kDoneError);
    }
    Flush(true);
    return true;
  }

  // The value of one item of a SELECT list this server knows, or nothing.
  std::optional<int64_t> Value(std::string_view item) {
    const std::string u = Upper(Trim(item));
    if (u == "@@TRANCOUNT") return trancount_;
    if (u == "@@OPTIONS & 2") return implicit_ ? 2 : 0;
    if (u == "XACT_STATE()") return doomed_ ? -1 : (trancount_ > 0 ? 1 : 0);
    if (u == "CURRENT_TRANSACTION_ID()" && server_.transaction_ids_) {
      return trancount_ > 0 ? transaction_id_ : server_.NewTransactionId();
    }
    if (!u.empty() && u.find_first_not_of("0123456789") == std::string::npos) {
      return NumberAfter(u);
    }
    return std::nullopt;
  }

  // SELECT of known items: one row; false for any other SELECT.
  bool SelectValues(int32_t line, std::string_view s, uint16_t more) {
    std::vector<int64_t> values;
    std::string_view list = s.substr(7);
    for (size_t at = 0; at <= list.size();) {
      size_t comma = list.find(',', at);
      if (comma == std::string_view::npos) comma = list.size();
      const std::string item = Upper(Trim(list.substr(at, comma - at)));
      if (item == "CURRENT_TRANSACTION_ID()" && !server_.transaction_ids_) {
        StatementError(195, "'CURRENT_TRANSACTION_ID' is not a recognized built-in function name.",
                       line);
        Done(static_cast<uint16_t>(more | kDoneError));
        return true;
      }
      const std::optional<int64_t> value = Value(item);
      if (!value) return false;
      values.push_back(*value);
      at = comma + 1;
    }
    IntRow(values);
    Done(static_cast<uint16_t>(more | kDoneCount), 1);
    return true;
  }

  // "ROLLBACK [TRAN[SACTION]|WORK] [name]": the name, "" for none.
  static std::string RollbackName(std::string_view s) {
    std::string_view rest = Trim(s.substr(8));
    for (std::string_view word : {"TRANSACTION", "TRAN", "WORK"}) {
      if (Upper(rest.substr(0, word.size())) == word) {
        rest = Trim(rest.substr(word.size()));
        break;
      }
    }
    return std::string(rest);
  }

  enum class Outcome { kDone, kAttention, kClosed };

  Outcome Statement(int32_t line, std::string_view s, uint16_t more) {
    const std::string u = Upper(s);
    // Under NOEXEC every statement is compiled and not run: no rows, no
    // change; only SET NOEXEC itself acts.
    if (u.starts_with("SET NOEXEC ")) {
      noexec_ = u.ends_with(" ON");
      Done(more);
      return Outcome::kDone;
    }
    if (noexec_) {
      Done(more);
      return Outcome::kDone;
    }
    if (u.starts_with("IF @@TRANCOUNT > 0 ")) {
      bool ok = true;
      if (trancount_ > 0) ok = End(u.find("COMMIT") != std::string::npos, line);
      if (u.find("BEGIN TRAN") != std::string::npos) Begin();
      Done(static_cast<uint16_t>(more | (ok ? 0 : kDoneError)));
    } else if (u.starts_with("IF @@TRANCOUNT = 0 ")) {
      if (trancount_ == 0) return Statement(line, Trim(s.substr(19)), more);
      Done(more);
    } else if (u.starts_with("BEGIN TRAN")) {
      // Under implicit transactions an unseen one opens first (count 2).
      OpenImplicitly();
      Begin();
      Done(more);
    } else if (u.starts_with("SAVE TRAN")) {
      const size_t blank = s.find(' ', 5);
      const std::string name = Upper(Trim(blank == std::string_view::npos ? "" : s.substr(blank)));
      bool ok = trancount_ > 0;
      if (ok) {
        savepoints_.emplace_back(name, pending_.size());
      } else {
        Error(628, "Cannot issue SAVE TRANSACTION when there is no active transaction.", line);
      }
      Done(static_cast<uint16_t>(more | (ok ? 0 : kDoneError)));
    } else if (u.starts_with("ROLLBACK") && !RollbackName(s).empty() && trancount_ > 0 &&
               !doomed_) {
      // To a savepoint: the count stays.
      const std::string name = Upper(RollbackName(s));
      auto at = std::find_if(savepoints_.rbegin(), savepoints_.rend(),
                             [&](const auto& p) { return p.first == name; });
      if (at == savepoints_.rend()) {
        End(false, line);
      } else {
        pending_.resize(at->second);
        savepoints_.erase(at.base(), savepoints_.end());
      }
      Done(more);
    } else if (u.starts_with("COMMIT") || u.starts_with("ROLLBACK") ||
               u.starts_with("EXEC TDS_COMMIT")) {
      const bool commit = !u.starts_with("ROLLBACK");
      if (commit && doomed_) {
        Error(3930, "The current transaction cannot be committed. Roll back the transaction.",
              line);
        Done(static_cast<uint16_t>(more | kDoneError));
        return Outcome::kDone;
      }
      const bool ok = End(commit, line);
      Done(static_cast<uint16_t>(more | (ok ? 0 : kDoneError)));
    } else if (u.starts_with("SET IMPLICIT_TRANSACTIONS ") || u.starts_with("SET XACT_ABORT ")) {
      (u.starts_with("SET XACT") ? xact_abort_ : implicit_) = u.ends_with(" ON");
      Done(more);
    } else if (u.starts_with("EXEC TDS_DEAF_AT_CHECK") || u.starts_with("EXEC TDS_DEAF_AT_COMMIT")) {
      (u.starts_with("EXEC TDS_DEAF_AT_CHECK") ? deaf_at_check_ : deaf_at_commit_) =
          static_cast<double>(NumberAfter(s));
      Done(more);
    } else if (u.starts_with("USE ")) {
      std::string name(Trim(s.substr(4)));
      if (name.size() > 1 && name.front() == '[') name = name.substr(1, name.size() - 2);
      EnvChange(kEnvDatabase, name, database_);
      database_ = name;
      Message(kInfo, 0, 5701, "Changed database context to '" + name + "'.", line);
      Done(more);
    } else if (u.starts_with("PRINT ")) {
      Message(kInfo, 0, 0, Quoted(s), line);
      Done(more);
    } else if (u.starts_with("RAISERROR")) {
      const size_t after = s.find('\'', s.find('\'') + 1);
      const long severity = NumberAfter(s, after == std::string_view::npos ? 0 : after);
      const bool error = severity > 10;
      Message(error ? kError : kInfo, static_cast<uint8_t>(severity), 50000, Quoted(s), line);
      Done(static_cast<uint16_t>(more | (error ? kDoneError : 0)));
    } else if (u.find("NO_EXISTE") != std::string::npos) {
      StatementError(208, "Invalid object name 'no_existe'.", line);
      Done(static_cast<uint16_t>(more | kDoneError));
    } else if (u.starts_with("SELECT ") && SelectValues(line, s, more)) {
    } else if (u.starts_with("SELECT ") && u.find(" FROM ") != std::string::npos) {
      // Reading a table opens an implicit transaction; no rows here.
      OpenImplicitly();
      Done(more);
    } else if (u.starts_with("EXEC TDS_ROWS")) {
      const long rows = NumberAfter(s);
      Columns(true);
      for (long i = 1; i <= rows; ++i) {
        const std::string name = "fila " + std::to_string(i) + " ñandú";
        Row(static_cast<int32_t>(i), &name);
      }
      if (u.starts_with("EXEC TDS_ROWS_ERROR")) {
        Error(8134, "Divide by zero error encountered.", line);
        Done(static_cast<uint16_t>(more | kDoneError | kDoneCount), static_cast<uint64_t>(rows));
      } else {
        Done(static_cast<uint16_t>(more | kDoneCount), static_cast<uint64_t>(rows));
      }
    } else if (u.starts_with("EXEC TDS_DONE_ERROR")) {
      Done(static_cast<uint16_t>(more | kDoneError));
    } else if (u.starts_with("WAITFOR DELAY") || u.starts_with("EXEC TDS_DEAF")) {
      const bool deaf = u.starts_with("EXEC TDS_DEAF");
      double seconds = static_cast<double>(NumberAfter(s));
      if (!deaf) {
        const std::string t = Quoted(s);  // hh:mm:ss
        seconds = 3600.0 * NumberAfter(t) + 60.0 * NumberAfter(t, 3) + NumberAfter(t, 6);
      }
      if (!out_.empty()) Flush(false);
      switch (WaitForAttention(seconds, deaf)) {
        case Wait::kAttention:
          return Outcome::kAttention;
        case Wait::kClosed:
          return Outcome::kClosed;
        case Wait::kElapsed:
          break;
      }
      Done(more);
    } else if (u.starts_with("EXEC TDS_CLOSE")) {
      if (!out_.empty()) Flush(false);
      return Outcome::kClosed;
    } else if (u.starts_with("INSERT") || u.starts_with("UPDATE") || u.starts_with("DELETE") ||
               u.starts_with("CREATE") || u.starts_with("ALTER") || u.starts_with("DROP")) {
      Change(line, s, more);
    } else {
      Done(more);
    }
    return Outcome::kDone;
  }

  TdsTestServer& server_;
  SocketHandle socket_;
  std::vector<uint8_t> in_;
  std::vector<uint8_t> out_;
  uint8_t packet_id_ = 1;
  uint32_t version_ = 0x74000004;
  size_t packet_size_ = 4096;
  std::string database_ = "master";
  int32_t trancount_ = 0;
  uint64_t descriptor_ = 0;
  uint64_t server_descriptors_ = 0;
  int64_t transaction_id_ = 0;
  bool implicit_ = false;
  bool xact_abort_ = false;
  bool noexec_ = false;
  bool doomed_ = false;  // XACT_STATE() = -1
  bool in_batch_ = false;
  // The statements that wrote in the open transaction, and the savepoints
  // (upper-case name, how many of them came before it).
  std::vector<std::string> pending_;
  std::vector<std::pair<std::string, size_t>> savepoints_;
  // Seconds of silence armed for the next transaction check or commit (-1:
  // none).
  double deaf_at_check_ = -1;
  double deaf_at_commit_ = -1;
};

TdsTestServer::TdsTestServer(uint32_t packet_size) : packet_size_(packet_size) {
  listener_ = ListenOnLoopback(&port_);
  if (listener_ == kNoSocket) return;
  acceptor_ = std::thread([this] { AcceptLoop(); });
}

TdsTestServer::~TdsTestServer() {
  stopping_ = true;
  if (acceptor_.joinable()) acceptor_.join();
  std::vector<std::thread> sessions;
  {
    std::lock_guard<std::mutex> lock(mutex_);
    sessions.swap(sessions_);
  }
  for (std::thread& t : sessions) t.join();
  CloseSocket(listener_);
}

void TdsTestServer::AcceptLoop() {
  while (!stopping_) {
    if (WaitReadable(listener_, 100) != 1) continue;
    const SocketHandle socket = AcceptConnection(listener_);
    if (socket == kNoSocket) continue;
    std::lock_guard<std::mutex> lock(mutex_);
    sessions_.emplace_back([this, socket] { Session(*this, socket).Run(); });
  }
}

std::string TdsTestServer::ConnectionString(const std::string& database, const std::string& version,
                                            const std::string& password) const {
  return "Driver=FreeTDS;Server=127.0.0.1;Port=" + std::to_string(port_) +
         ";TDS_Version=" + version + ";UID=sa;Database=" + database + ";PWD=" + password;
}

int64_t TdsTestServer::NewTransactionId() {
  std::lock_guard<std::mutex> lock(mutex_);
  return ++transaction_ids_given_;
}

void TdsTestServer::EndTransaction(bool commit, const std::vector<std::string>& changes) {
  std::lock_guard<std::mutex> lock(mutex_);
  if (!commit) {
    ++rollbacks_;
    return;
  }
  ++commits_;
  kept_.insert(kept_.end(), changes.begin(), changes.end());
}

std::vector<std::string> TdsTestServer::Kept() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return kept_;
}

int TdsTestServer::Commits() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return commits_;
}

int TdsTestServer::Rollbacks() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return rollbacks_;
}

void TdsTestServer::Record(std::string entry) {
  std::lock_guard<std::mutex> lock(mutex_);
  journal_.push_back(std::move(entry));
}

void TdsTestServer::RecordLogin(TdsLogin login) {
  std::lock_guard<std::mutex> lock(mutex_);
  logins_.push_back(std::move(login));
}

std::vector<std::string> TdsTestServer::Journal() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return journal_;
}

std::vector<TdsLogin> TdsTestServer::Logins() const {
  std::lock_guard<std::mutex> lock(mutex_);
  return logins_;
}

std::vector<std::string> TdsTestServer::Batches() const {
  std::vector<std::string> batches;
  for (const std::string& entry : Journal()) {
    const size_t colon = entry.find("batch: ");
    if (colon != std::string::npos) batches.push_back(entry.substr(colon + 7));
  }
  return batches;
}

void TdsTestServer::ClearJournal() {
  std::lock_guard<std::mutex> lock(mutex_);
  journal_.clear();
  logins_.clear();
  kept_.clear();
  commits_ = 0;
  rollbacks_ = 0;
}

}  // namespace corvalen::testing
