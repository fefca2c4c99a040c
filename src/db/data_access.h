// The data-access component: for an entity name, the kind of its data
// connection and an open connection to its database.
#ifndef CORVALEN_DB_DATA_ACCESS_H_
#define CORVALEN_DB_DATA_ACCESS_H_

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

#include "db/connection.h"
#include "db/dialect.h"

namespace corvalen {

// The most GO-separated pieces of a script sent in one call, and what an
// entity's PiecesPerCall is when its configuration leaves it out.
inline constexpr int32_t kDefaultPiecesPerCall = 21;

// The object that stands for one entity's data connection.
class DataConnection {
 public:
  virtual ~DataConnection() = default;
  // The entity's connection, already open. Raises NumberedError on failure.
  virtual std::shared_ptr<Connection> GetAssemblyConnection() = 0;
  // How many pieces of a script the run sends in one call to this entity,
  // 1 to kDefaultPiecesPerCall.
  virtual int32_t PiecesPerCall() const { return kDefaultPiecesPerCall; }
  // Which database the entity is: the rules its scripts' text is read by.
  virtual corvalen::Dialect Dialect() const { return Dialect::kSqlServer; }
};

// What the update module calls of the component, by these names. Every
// member raises NumberedError on failure.
class DataAccessComponent {
 public:
  virtual ~DataAccessComponent() = default;
  // Remembers where the configuration file is.
  virtual void setParametersPath(const std::u16string& path) = 0;
  // Reads the configuration.
  virtual void LoadParameters() = 0;
  // The kind of the entity's data connection; "ACCESS" ends the program.
  virtual std::u16string getDataConnectionTAG(const std::u16string& entity) = 0;
  virtual std::unique_ptr<DataConnection> getDataConnectionByEntity(
      const std::u16string& entity) = 0;
};

// Creates a new component instance; raises NumberedError (429) when it cannot.
using ComponentFactory = std::function<std::shared_ptr<DataAccessComponent>()>;

}  // namespace corvalen

#endif  // CORVALEN_DB_DATA_ACCESS_H_
