INSERT INTO no_existe VALUES (1)
INSERT INTO aranceles VALUES (2)
GO
