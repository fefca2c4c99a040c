#include "db/qv_main.h"

#include <algorithm>
#include <utility>
#include <vector>

#include "db/odbc_connection.h"
#include "db/secret_scrub.h"
#include "db/sqlite_connection.h"
#include "platform/file_info.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

enum class Provider { kOdbc, kSqlite };

// What an entity's section says once its variables are replaced.
struct EntitySettings {
  std::u16string entity;  // the section's name as written
  Provider provider = Provider::kOdbc;
  std::u16string connection;
  int32_t login_timeout_seconds = kDefaultLoginTimeoutSeconds;
  int32_t busy_timeout_seconds = kDefaultBusyTimeoutSeconds;
  int32_t command_timeout_seconds = kDefaultCommandTimeoutSeconds;
  int32_t pieces_per_call = kDefaultPiecesPerCall;
  corvalen::Dialect dialect = Dialect::kSqlServer;
  // What no message may show (see QVMain).
  std::vector<std::u16string> secrets;
};

[[noreturn]] void Fail(const std::u16string& description) {
  throw NumberedError(kErrInvalidArgument, description);
}

// The configuration error for a SQLite Connection value that names no file.
[[noreturn]] void FailNotAFile(const std::u16string& entity, const std::u16string& reason) {
  Fail(u"La clave Connection de la entidad \"" + entity +
       u"\" no nombra un archivo de base de datos SQLite: " + reason + u".");
}

class QVDataConnection : public DataConnection {
 public:
  explicit QVDataConnection(EntitySettings settings) : settings_(std::move(settings)) {}

  int32_t PiecesPerCall() const override { return settings_.pieces_per_call; }
  corvalen::Dialect Dialect() const override { return settings_.dialect; }

  std::shared_ptr<Connection> GetAssemblyConnection() override {
    try {
      if (settings_.provider == Provider::kSqlite) {
        // What the file has become since the configuration was read.
        const std::u16string refusal = SqliteFileRefusal(settings_.connection);
        if (!refusal.empty()) FailNotAFile(settings_.entity, refusal);
        SqliteOptions options;
        options.busy_timeout_ms = settings_.busy_timeout_seconds * 1000;
        options.command_timeout_seconds = settings_.command_timeout_seconds;
        return OpenSqliteConnection(settings_.connection, options);
      }
      OdbcOptions options;
      options.login_timeout_seconds = settings_.login_timeout_seconds;
      options.command_timeout_seconds = settings_.command_timeout_seconds;
      options.secrets = settings_.secrets;
      options.entity = settings_.entity;
      options.dialect = settings_.dialect;
      return OpenOdbcConnection(settings_.connection, options);
    } catch (const NumberedError& e) {
      throw NumberedError(e.number(), ScrubSecrets(e.description(), settings_.secrets));
    }
  }

 private:
  EntitySettings settings_;
};

std::u16string Lowered(std::u16string s) {
  for (auto& c : s) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return s;
}

std::u16string TrimBlanks(const std::u16string& s) {
  size_t b = 0, e = s.size();
  while (b < e && (s[b] == u' ' || s[b] == u'\t')) ++b;
  while (e > b && (s[e - 1] == u' ' || s[e - 1] == u'\t')) --e;
  return s.substr(b, e - b);
}

// The value of a timeout key in seconds, or the default when it is absent.
// A timeout is no secret: its variables' values are shown freely.
int32_t Seconds(const EntitySection& section, const char16_t* key, int32_t fallback) {
  const std::u16string* raw = section.Get(key);
  if (raw == nullptr) return fallback;
  const std::u16string text = TrimBlanks(ExpandVariables(*raw, key, section.name, nullptr));
  int64_t value = 0;
  bool ok = !text.empty() && text.size() <= 6;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') ok = false;
    if (ok) value = value * 10 + (c - u'0');
  }
  if (!ok || value > kMaxTimeoutSeconds) {
    Fail(u"El valor de " + std::u16string(key) + u" de la entidad \"" + section.name +
         u"\" no es un número de segundos entre 0 y " + ToDecimal(kMaxTimeoutSeconds) + u".");
  }
  return static_cast<int32_t>(value);
}

// The values put into a Connection value that no message may show: each of
// kSecretRun or more code units, and each shorter one that stands (even in
// part) inside a password attribute's value.
std::vector<std::u16string> ConnectionSecrets(const std::u16string& connection,
                                              std::vector<PutVariable> put) {
  const std::vector<TextSpan> passwords = PasswordValueSpans(connection);
  std::vector<std::u16string> secrets;
  for (PutVariable& v : put) {
    if (v.value.empty()) continue;
    const size_t end = v.begin + v.value.size();
    const bool in_password =
        std::any_of(passwords.begin(), passwords.end(),
                    [&](const TextSpan& p) { return v.begin < p.end && p.begin < end; });
    if (v.value.size() >= kSecretRun || in_password) secrets.push_back(std::move(v.value));
  }
  return secrets;
}

// The provider a section names (odbc when it names none).
Provider ProviderOf(const EntitySection& section) {
  const std::u16string* provider = section.Get(kKeyProvider);
  if (provider == nullptr) return Provider::kOdbc;
  const std::u16string name =
      Lowered(TrimBlanks(ExpandVariables(*provider, kKeyProvider, section.name, nullptr)));
  if (name == u"odbc") return Provider::kOdbc;
  if (name == u"sqlite") return Provider::kSqlite;
  // The value as written: a variable's value is never shown.
  Fail(u"Proveedor \"" + *provider + u"\" desconocido para la entidad \"" + section.name +
       u"\": se admite odbc o sqlite.");
}

}  // namespace

Dialect DialectOf(const EntitySection& section) {
  const Provider provider = ProviderOf(section);
  const std::u16string* raw = section.Get(kKeyDialect);
  if (raw == nullptr) return provider == Provider::kSqlite ? Dialect::kSqlite : Dialect::kSqlServer;
  const std::optional<Dialect> dialect =
      DialectNamed(ExpandVariables(*raw, kKeyDialect, section.name, nullptr));
  if (!dialect) {
    Fail(u"El valor de Dialect de la entidad \"" + section.name + u"\" (\"" + *raw +
         u"\") no es sqlserver, postgresql ni sqlite.");
  }
  if ((provider == Provider::kSqlite) != (*dialect == Dialect::kSqlite)) {
    Fail(u"La entidad \"" + section.name + u"\" tiene Dialect = " + DialectName(*dialect) +
         (provider == Provider::kSqlite
              ? u", pero su Provider es sqlite: un archivo SQLite se lee como sqlite."
              : u", pero su Provider es odbc: por ODBC se llega a sqlserver o postgresql."));
  }
  return *dialect;
}

int32_t PiecesPerCallOf(const EntitySection& section) {
  const std::u16string* raw = section.Get(kKeyPiecesPerCall);
  if (raw == nullptr) return kDefaultPiecesPerCall;
  const std::u16string text =
      TrimBlanks(ExpandVariables(*raw, kKeyPiecesPerCall, section.name, nullptr));
  int32_t value = 0;
  bool ok = !text.empty() && text.size() <= 2;
  for (char16_t c : text) {
    if (c < u'0' || c > u'9') ok = false;
    if (ok) value = value * 10 + (c - u'0');
  }
  if (!ok || value < 1 || value > kDefaultPiecesPerCall) {
    Fail(u"El valor de PiecesPerCall de la entidad \"" + section.name +
         u"\" no es un número de piezas entre 1 y " + ToDecimal(kDefaultPiecesPerCall) + u".");
  }
  return value;
}

void QVMain::setParametersPath(const std::u16string& path) {
  path_ = path;
  config_.reset();
}

void QVMain::LoadParameters() {
  config_.reset();
  config_ = QuorvexConfig::Load(path_);
}

const EntitySection& QVMain::Section(const std::u16string& entity) const {
  if (!config_) Fail(u"La configuración no está cargada: falta llamar a LoadParameters.");
  const EntitySection* section = config_->Find(entity);
  if (section == nullptr) {
    Fail(u"La entidad \"" + entity + u"\" no está configurada en el archivo \"" +
         DisplayName(config_->path()) + u"\".");
  }
  return *section;
}

std::u16string QVMain::getDataConnectionTAG(const std::u16string& entity) {
  const EntitySection& section = Section(entity);
  const std::u16string* tag = section.Get(kKeyTag);
  if (tag == nullptr) return kDefaultTag;
  return ExpandVariables(*tag, kKeyTag, section.name, nullptr);
}

std::unique_ptr<DataConnection> QVMain::getDataConnectionByEntity(const std::u16string& entity) {
  const EntitySection& section = Section(entity);
  EntitySettings settings;
  settings.entity = section.name;

  settings.provider = ProviderOf(section);

  const std::u16string* connection = section.Get(kKeyConnection);
  if (connection == nullptr) {
    Fail(u"Falta la clave Connection de la entidad \"" + section.name + u"\" en el archivo \"" +
         DisplayName(config_->path()) + u"\".");
  }
  std::vector<PutVariable> put;
  settings.connection = ExpandVariables(*connection, kKeyConnection, section.name, &put);
  settings.secrets = ConnectionSecrets(settings.connection, std::move(put));
  if (TrimBlanks(settings.connection).empty()) {
    Fail(u"La clave Connection de la entidad \"" + section.name + u"\" está vacía.");
  }
  settings.login_timeout_seconds = Seconds(section, kKeyLoginTimeout, kDefaultLoginTimeoutSeconds);
  settings.busy_timeout_seconds = Seconds(section, kKeyBusyTimeout, kDefaultBusyTimeoutSeconds);
  settings.command_timeout_seconds =
      Seconds(section, kKeyCommandTimeout, kDefaultCommandTimeoutSeconds);
  settings.pieces_per_call = PiecesPerCallOf(section);
  settings.dialect = DialectOf(section);

  if (settings.provider == Provider::kOdbc) {
    for (auto& s : ConnectionStringSecrets(settings.connection)) {
      settings.secrets.push_back(std::move(s));
    }
  } else {
    const std::u16string refusal = SqliteNameRefusal(settings.connection);
    if (!refusal.empty()) FailNotAFile(section.name, refusal);
    // A relative database file lives beside the configuration file.
    if (IsRelativePath(settings.connection)) {
      settings.connection = JoinPath(ParentFolder(config_->path()), settings.connection);
    }
  }
  return std::make_unique<QVDataConnection>(std::move(settings));
}

ComponentFactory QVMainFactory() {
  return [] { return std::make_shared<QVMain>(); };
}

std::vector<std::u16string> SqliteFilesNamed(const std::u16string& config_path) {
  std::vector<std::u16string> files;
  try {
    const QuorvexConfig config = QuorvexConfig::Load(config_path);
    for (const EntitySection& section : config.sections()) {
      try {
        const std::u16string* connection = section.Get(kKeyConnection);
        if (connection == nullptr || ProviderOf(section) != Provider::kSqlite) continue;
        std::u16string file = ExpandVariables(*connection, kKeyConnection, section.name, nullptr);
        // As getDataConnectionByEntity places it.
        if (IsRelativePath(file)) file = JoinPath(ParentFolder(config.path()), file);
        files.push_back(std::move(file));
      } catch (const NumberedError&) {
      }
    }
  } catch (const NumberedError&) {
  }
  return files;
}

}  // namespace corvalen
