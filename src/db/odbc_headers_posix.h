// The ODBC API of unixODBC.
#ifndef CORVALEN_DB_ODBC_HEADERS_POSIX_H_
#define CORVALEN_DB_ODBC_HEADERS_POSIX_H_

#include <sql.h>
#include <sqlext.h>

#endif  // CORVALEN_DB_ODBC_HEADERS_POSIX_H_
