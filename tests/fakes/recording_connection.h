// A Connection and a data-access component that record every call, for the
// update module's tests. The component hands out the connections it was given.
#ifndef CORVALEN_TESTS_FAKES_RECORDING_CONNECTION_H_
#define CORVALEN_TESTS_FAKES_RECORDING_CONNECTION_H_

#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "db/connection.h"
#include "db/data_access.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen::testing {

// A shared journal, so that calls on several connections and components can
// be read in one order. Lines: "<name>.BeginTrans", "<name>.Execute <text>",
// "<name>.CommitTrans", "<name>.RollbackTrans", "<name>.released", and the
// component's calls.
using Journal = std::vector<std::string>;

class RecordingConnection : public Connection {
 public:
  RecordingConnection(std::string name, std::shared_ptr<Journal> journal)
      : name_(std::move(name)), journal_(std::move(journal)) {}
  ~RecordingConnection() override {
    Log(in_transaction ? "released (rolled back)" : "released");
  }

  bool in_transaction = false;
  std::vector<std::u16string> executed;  // every Execute text, failed ones too
  // Decides whether an Execute fails: return a non-empty description to fail.
  std::function<std::u16string(const std::u16string& text)> execute_error;
  // Makes the named operation fail ("BeginTrans", "CommitTrans", "RollbackTrans").
  std::function<bool(const std::string& operation)> fail_operation;

  int32_t BeginTrans() override {
    Log("BeginTrans");
    Fail("BeginTrans");
    in_transaction = true;
    return 1;
  }
  void CommitTrans() override {
    Log("CommitTrans");
    Fail("CommitTrans");
    if (!in_transaction) throw NumberedError(kErrDatabase, kNoTransactionActive);
    in_transaction = false;
  }
  void RollbackTrans() override {
    Log("RollbackTrans");
    Fail("RollbackTrans");
    if (!in_transaction) throw NumberedError(kErrDatabase, kNoTransactionActive);
    in_transaction = false;
  }
  // Set by a test's execute_error to stand for what a batch did to the
  // transaction (committed it, left its own open).
  TransactionState after_batch = TransactionState::kIntact;
  TransactionState CheckTransaction() override { return after_batch; }
  void Execute(const std::u16string& text) override {
    Log("Execute " + Utf16ToUtf8(text));
    executed.push_back(text);
    if (execute_error) {
      std::u16string error = execute_error(text);
      if (!error.empty()) throw NumberedError(kErrDatabase, error);
    }
  }

 private:
  void Log(const std::string& what) { journal_->push_back(name_ + "." + what); }
  void Fail(const std::string& operation) {
    if (fail_operation && fail_operation(operation)) {
      throw NumberedError(kErrDatabase, Utf8ToUtf16(operation + " failed"));
    }
  }
  std::string name_;
  std::shared_ptr<Journal> journal_;
};

class RecordingDataConnection : public DataConnection {
 public:
  explicit RecordingDataConnection(std::shared_ptr<Connection> connection)
      : connection_(std::move(connection)) {}
  std::shared_ptr<Connection> GetAssemblyConnection() override {
    if (!connection_) throw NumberedError(kErrDatabase, u"No se pudo abrir la conexion");
    return connection_;
  }

 private:
  std::shared_ptr<Connection> connection_;
};

// A component configured by the test: per entity a tag and a connection (or
// none, which makes GetAssemblyConnection fail); per member an optional error.
class RecordingComponent : public DataAccessComponent {
 public:
  struct Entity {
    std::u16string tag = u"SQLSERVER";
    std::shared_ptr<Connection> connection;
  };

  RecordingComponent(std::shared_ptr<Journal> journal,
                     std::shared_ptr<std::map<std::u16string, Entity>> entities)
      : journal_(std::move(journal)), entities_(std::move(entities)) {}

  std::u16string path;
  // Member name ("setParametersPath", "LoadParameters", "getDataConnectionTAG",
  // "getDataConnectionByEntity") -> description of the error it raises.
  std::map<std::string, std::u16string> errors;

  void setParametersPath(const std::u16string& p) override {
    Log("setParametersPath " + Utf16ToUtf8(p));
    Fail("setParametersPath");
    path = p;
  }
  void LoadParameters() override {
    Log("LoadParameters");
    Fail("LoadParameters");
  }
  std::u16string getDataConnectionTAG(const std::u16string& entity) override {
    Log("getDataConnectionTAG " + Utf16ToUtf8(entity));
    Fail("getDataConnectionTAG");
    return Find(entity).tag;
  }
  std::unique_ptr<DataConnection> getDataConnectionByEntity(const std::u16string& entity) override {
    Log("getDataConnectionByEntity " + Utf16ToUtf8(entity));
    Fail("getDataConnectionByEntity");
    return std::make_unique<RecordingDataConnection>(Find(entity).connection);
  }

 private:
  const Entity& Find(const std::u16string& entity) {
    auto it = entities_->find(entity);
    if (it == entities_->end()) {
      throw NumberedError(kErrDatabase, u"Entidad no configurada: " + entity);
    }
    return it->second;
  }
  void Log(const std::string& what) { journal_->push_back("component." + what); }
  void Fail(const std::string& member) {
    auto it = errors.find(member);
    if (it != errors.end()) throw NumberedError(kErrDatabase, it->second);
  }
  std::shared_ptr<Journal> journal_;
  std::shared_ptr<std::map<std::u16string, Entity>> entities_;
};

}  // namespace corvalen::testing

#endif  // CORVALEN_TESTS_FAKES_RECORDING_CONNECTION_H_
