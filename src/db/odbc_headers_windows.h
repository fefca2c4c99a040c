// The ODBC API of Windows' driver manager (odbc32), whose headers use the
// Windows types and so need <windows.h> first.
#ifndef CORVALEN_DB_ODBC_HEADERS_WINDOWS_H_
#define CORVALEN_DB_ODBC_HEADERS_WINDOWS_H_

#include <windows.h>

#include <sql.h>
#include <sqlext.h>

#endif  // CORVALEN_DB_ODBC_HEADERS_WINDOWS_H_
