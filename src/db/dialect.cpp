#include "db/dialect.h"

namespace corvalen {
namespace {

std::u16string LowerTrimmed(std::u16string_view value) {
  size_t b = 0, e = value.size();
  while (b < e && (value[b] == u' ' || value[b] == u'\t')) ++b;
  while (e > b && (value[e - 1] == u' ' || value[e - 1] == u'\t')) --e;
  std::u16string out(value.substr(b, e - b));
  for (char16_t& c : out) {
    if (c >= u'A' && c <= u'Z') c = static_cast<char16_t>(c + 32);
  }
  return out;
}

}  // namespace

std::u16string DialectName(Dialect dialect) {
  switch (dialect) {
    case Dialect::kPostgresql:
      return u"postgresql";
    case Dialect::kSqlite:
      return u"sqlite";
    case Dialect::kSqlServer:
      break;
  }
  return u"sqlserver";
}

std::optional<Dialect> DialectNamed(std::u16string_view value) {
  const std::u16string name = LowerTrimmed(value);
  if (name == u"sqlserver") return Dialect::kSqlServer;
  if (name == u"postgresql") return Dialect::kPostgresql;
  if (name == u"sqlite") return Dialect::kSqlite;
  return std::nullopt;
}

std::optional<Dialect> DialectOfDbms(std::u16string_view dbms_name) {
  if (dbms_name == u"Microsoft SQL Server") return Dialect::kSqlServer;
  if (dbms_name == u"PostgreSQL") return Dialect::kPostgresql;
  return std::nullopt;
}

}  // namespace corvalen
