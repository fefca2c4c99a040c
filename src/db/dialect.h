// Which database an entity is, and so by whose rules its scripts' text is
// read: SQL Server and PostgreSQL are both reached through ODBC, and --check
// touches no database, so the configuration says it (the key Dialect).
#ifndef CORVALEN_DB_DIALECT_H_
#define CORVALEN_DB_DIALECT_H_

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace corvalen {

enum class Dialect : uint8_t { kSqlServer, kPostgresql, kSqlite };

// The value of the key Dialect that names `dialect`: "sqlserver",
// "postgresql" or "sqlite".
std::u16string DialectName(Dialect dialect);

// The dialect a value of the key names (ASCII letters in any case, blanks
// around it ignored); nothing for any other text.
std::optional<Dialect> DialectNamed(std::u16string_view value);

// The dialect of the server an ODBC driver names with SQL_DBMS_NAME
// ("Microsoft SQL Server", "PostgreSQL"); nothing for any other server.
std::optional<Dialect> DialectOfDbms(std::u16string_view dbms_name);

}  // namespace corvalen

#endif  // CORVALEN_DB_DIALECT_H_
