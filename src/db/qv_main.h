// QVMain: the data-access component that stands in for the maker's
// Quorvex.QVMain, reached directly. It reads quorvexconfig.ini (see
// quorvex_config.h) and hands out, per entity, the tag of its data connection
// and an open connection: ODBC for servers, native SQLite for files.
#ifndef CORVALEN_DB_QV_MAIN_H_
#define CORVALEN_DB_QV_MAIN_H_

#include <memory>
#include <optional>
#include <string>

#include "db/data_access.h"
#include "db/quorvex_config.h"

namespace corvalen {

// Defaults for keys an entity's section leaves out.
inline constexpr char16_t kDefaultTag[] = u"SQLSERVER";
inline constexpr int32_t kDefaultLoginTimeoutSeconds = 10;
inline constexpr int32_t kDefaultBusyTimeoutSeconds = 10;
// Largest timeout accepted, in seconds (one day).
inline constexpr int32_t kMaxTimeoutSeconds = 86400;

// Error texts never carry a password, nor the value of a ${NAME} variable:
// whatever a driver says is passed through ScrubSecrets first.
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
  // Checks the entity's Provider, Connection and timeouts and returns the
  // object whose GetAssemblyConnection opens the connection. Raises for an
  // unknown entity or provider, a missing Connection, an undefined variable
  // or a bad timeout.
  std::unique_ptr<DataConnection> getDataConnectionByEntity(const std::u16string& entity) override;

 private:
  const EntitySection& Section(const std::u16string& entity) const;

  std::u16string path_;
  std::optional<QuorvexConfig> config_;
};

// Makes a new QVMain instance on every call.
ComponentFactory QVMainFactory();

}  // namespace corvalen

#endif  // CORVALEN_DB_QV_MAIN_H_
