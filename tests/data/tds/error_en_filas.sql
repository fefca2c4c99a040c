INSERT INTO aranceles VALUES (1)
EXEC tds_rows_error 200
GO
