CREATE TABLE tras_falla (x INTEGER);
GO
INSERT INTO aranceles VALUES ('0202.10.01', 5.0);
GO
