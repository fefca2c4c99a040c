CREATE TABLE monedas (codigo TEXT PRIMARY KEY, nombre TEXT NOT NULL);
GO
INSERT INTO monedas VALUES ('MXN', 'Peso');
INSERT INTO monedas VALUES ('EUR', 'Euro');
GO
