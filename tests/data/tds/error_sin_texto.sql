INSERT INTO aranceles VALUES (1)
EXEC tds_done_error
INSERT INTO aranceles VALUES (2)
GO
