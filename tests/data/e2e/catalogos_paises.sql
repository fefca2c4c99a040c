CREATE TABLE paises (codigo TEXT PRIMARY KEY, moneda TEXT);
go
INSERT INTO paises VALUES ('MX', 'MXN');
GO
