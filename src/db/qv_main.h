// QVMain: the data-access component that stands in for the maker's
// Quorvex.QVMain, reached directly. It reads quorvexconfig.ini (see
// quorvex_config.h) and hands out, per entity, the tag of its data connection
// and an open connection: ODBC for servers, native SQLite for files.
#ifndef CORVALEN_DB_QV_MAIN_H_
#define CORVALEN_DB_QV_MAIN_H_

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "db/data_access.h"
#include "db/quorvex_config.h"

namespace corvalen {

// Defaults for keys an entity's section leaves out.
inline constexpr char16_t kDefaultTag[] = u"SQLSERVER";
inline constexpr int32_t kDefaultLoginTimeoutSeconds = 10;
inline constexpr int32_t kDefaultBusyTimeoutSeconds = 10;
// No limit on how long a batch may run.
inline constexpr int32_t kDefaultCommandTimeoutSeconds = 0;
// Largest timeout accepted, in seconds (one day).
inline constexpr int32_t kMaxTimeoutSeconds = 86400;

// Error texts never carry a secret: whatever a driver says is passed through
// ScrubSecrets (db/secret_scrub.h, which says how each is hidden). The
// secrets are the values of the password attributes (PWD=, Password=) of an
// ODBC Connection, each ${NAME} variable put into Connection that is
// kSecretRun or more characters long, and a shorter one only where it stands
// inside a password attribute's value; values put into Tag, Provider and the
// timeout keys are not.
//
// SQLite: the Connection value names an existing regular file; a relative
// name is taken from the configuration file's folder.
class QVMain : public DataAccessComponent {
 public:
  QVMain() = default;
  QVMain(const QVMain&) = delete;
  QVMain& operator=(const QVMain&) = delete;

  // Remembers the path; a configuration loaded before is forgotten.
  void setParametersPath(const std::u16string& path) override;
  // Reads and checks the whole file (QuorvexConfig::Load raises its errors).
  void LoadParameters() override;
  // The entity's Tag, variables replaced; "SQLSERVER" when the section has
  // none. Raises when nothing is loaded or the entity has no section.
  std::u16string getDataConnectionTAG(const std::u16string& entity) override;
  // Checks the entity's Provider, Connection, timeouts (LoginTimeout,
  // BusyTimeout, CommandTimeout), PiecesPerCall and Dialect, and returns the object whose
  // GetAssemblyConnection opens the connection. Raises NumberedError(5) for
  // an unknown entity or provider, a missing or empty Connection, an
  // undefined variable, a bad timeout, and for a SQLite Connection that is
  // ":memory:" or a "file:" URI. GetAssemblyConnection raises (5) as well
  // when a SQLite Connection names a folder or anything else that is not a
  // regular file, for an ODBC server that is not the Dialect's (the driver's
  // DBMS name tells), and otherwise what the connection raises.
  std::unique_ptr<DataConnection> getDataConnectionByEntity(const std::u16string& entity) override;

 private:
  const EntitySection& Section(const std::u16string& entity) const;

  std::u16string path_;
  std::optional<QuorvexConfig> config_;
};

// The entity's PiecesPerCall (kDefaultPiecesPerCall when the section leaves
// it out). Raises NumberedError(5) for a value that is not a whole number
// from 1 to kDefaultPiecesPerCall, or an undefined variable in it.
int32_t PiecesPerCallOf(const EntitySection& section);

// The entity's Dialect: the key's value, or sqlite for Provider = sqlite and
// sqlserver otherwise when the section leaves it out. Raises
// NumberedError(5) for an unknown value, an undefined variable in it, and a
// value that does not fit the provider (a SQLite file is sqlite, and an ODBC
// server is not).
Dialect DialectOf(const EntitySection& section);

// Makes a new QVMain instance on every call.
ComponentFactory QVMainFactory();

// The SQLite database files that the configuration file `config_path` names
// in any of its sections, whether or not a run uses them (a relative name
// taken from the configuration's folder). A section whose Provider or
// Connection cannot be read names none; a file that cannot be read names
// none at all. Nothing is opened.
std::vector<std::u16string> SqliteFilesNamed(const std::u16string& config_path);

}  // namespace corvalen

#endif  // CORVALEN_DB_QV_MAIN_H_
