CREATE TABLE IF NOT EXISTS paises (
    codigo TEXT PRIMARY KEY,
    nombre TEXT NOT NULL,
    moneda TEXT REFERENCES monedas(codigo)
);
go
INSERT OR REPLACE INTO paises VALUES ('MX', 'México', 'MXN');
INSERT OR REPLACE INTO paises VALUES ('ES', 'España', 'EUR');
INSERT OR REPLACE INTO paises VALUES ('US', 'Estados Unidos', 'USD');
Go
