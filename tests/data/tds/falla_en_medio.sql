INSERT INTO aranceles VALUES (1)
GO
INSERT INTO aranceles VALUES (2)
INSERT INTO no_existe VALUES (3)
INSERT INTO aranceles VALUES (4)
GO
INSERT INTO aranceles VALUES (5)
GO
