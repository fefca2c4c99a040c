-- Catálogo de monedas
CREATE TABLE IF NOT EXISTS monedas (
    codigo   TEXT PRIMARY KEY,
    nombre   TEXT NOT NULL,
    decimales INTEGER NOT NULL DEFAULT 2
);
GO
INSERT OR REPLACE INTO monedas (codigo, nombre) VALUES ('MXN', 'Peso mexicano');
INSERT OR REPLACE INTO monedas (codigo, nombre) VALUES ('USD', 'Dólar estadounidense');
INSERT OR REPLACE INTO monedas (codigo, nombre) VALUES ('EUR', 'Euro');
GO
