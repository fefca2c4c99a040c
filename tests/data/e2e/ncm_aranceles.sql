CREATE TABLE aranceles (fraccion TEXT PRIMARY KEY, tasa REAL);
GO
INSERT INTO aranceles VALUES ('0101.21.01', 0.0);
GO
