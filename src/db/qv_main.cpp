#include "db/qv_main.h"

#include <filesystem>
#include <utility>
#include <vector>

#include "db/odbc_connection.h"
#include "db/secret_scrub.h"
#include "db/sqlite_connection.h"
#include "platform/numbered_error.h"
#include "platform/utf.h"

namespace corvalen {
namespace {

enum class Provider { kOdbc, kSqlite };

// What an entity's section says once its variables are replaced.
struct EntitySettings {
  Provider provider = Provider::kOdbc;
  std::u16string connection;
  int32_t login_timeout_seconds = kDefaultLoginTimeoutSeconds;
  int32_t busy_timeout_seconds = kDefaultBusyTimeoutSeconds;
  // Values of the variables put in, and the connection string's passwords.
  std::vector<std::u16string> secrets;
};

class QVDataConnection : public DataConnection {
 public:
  explicit QVDataConnection(EntitySettings settings) : settings_(std::move(settings)) {}

  std::shared_ptr<Connection> GetAssemblyConnection() override {
    try {
      if (settings_.provider == Provider::kSqlite) {
        SqliteOptions options;
        options.busy_timeout_ms = settings_.busy_timeout_seconds * 1000;
        return OpenSqliteConnection(settings_.connection, options);
      }
      OdbcOptions options;
      options.login_timeout_seconds = settings_.login_timeout_seconds;
      options.secrets = settings_.secrets;
      return OpenOdbcConnection(settings_.connection, options);
    } catch (const NumberedError& e) {
      throw NumberedError(e.number(), ScrubSecrets(e.description(), settings_.secrets));
    }
  }

 private:
  EntitySettings settings_;
};

[[noreturn]] void Fail(const std::u16string& description) {
  throw NumberedError(kErrInvalidArgument, description);
}

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
int32_t Seconds(const EntitySection& section, const char16_t* key, int32_t fallback,
                std::vector<std::u16string>* secrets) {
  const std::u16string* raw = section.Get(key);
  if (raw == nullptr) return fallback;
  const std::u16string text = TrimBlanks(ExpandVariables(*raw, key, section.name, secrets));
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

}  // namespace

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
         config_->path() + u"\".");
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

  if (const std::u16string* provider = section.Get(kKeyProvider)) {
    const std::u16string name =
        Lowered(TrimBlanks(ExpandVariables(*provider, kKeyProvider, section.name, nullptr)));
    if (name == u"odbc") {
      settings.provider = Provider::kOdbc;
    } else if (name == u"sqlite") {
      settings.provider = Provider::kSqlite;
    } else {
      // The value as written: a variable's value is never shown.
      Fail(u"Proveedor \"" + *provider + u"\" desconocido para la entidad \"" + section.name +
           u"\": se admite odbc o sqlite.");
    }
  }

  const std::u16string* connection = section.Get(kKeyConnection);
  if (connection == nullptr) {
    Fail(u"Falta la clave Connection de la entidad \"" + section.name + u"\" en el archivo \"" +
         config_->path() + u"\".");
  }
  settings.connection = ExpandVariables(*connection, kKeyConnection, section.name,
                                        &settings.secrets);
  if (TrimBlanks(settings.connection).empty()) {
    Fail(u"La clave Connection de la entidad \"" + section.name + u"\" está vacía.");
  }
  settings.login_timeout_seconds =
      Seconds(section, kKeyLoginTimeout, kDefaultLoginTimeoutSeconds, &settings.secrets);
  settings.busy_timeout_seconds =
      Seconds(section, kKeyBusyTimeout, kDefaultBusyTimeoutSeconds, &settings.secrets);

  if (settings.provider == Provider::kOdbc) {
    for (auto& s : ConnectionStringSecrets(settings.connection)) {
      settings.secrets.push_back(std::move(s));
    }
  } else {
    // A relative database file lives beside the configuration file.
    std::filesystem::path file(Utf16ToUtf8(settings.connection));
    if (file.is_relative()) {
      file = std::filesystem::path(Utf16ToUtf8(config_->path())).parent_path() / file;
      settings.connection = Utf8ToUtf16(file.string());
    }
  }
  return std::make_unique<QVDataConnection>(std::move(settings));
}

ComponentFactory QVMainFactory() {
  return [] { return std::make_shared<QVMain>(); };
}

}  // namespace corvalen
