-- Un nombre en minúsculas también pertenece a la familia CATALOGOS;
-- el 10 se aplica antes que el 2 de otra familia, pero después de 01 y 02.
CREATE TABLE IF NOT EXISTS unidades (clave TEXT PRIMARY KEY, descripcion TEXT);
GO
INSERT OR REPLACE INTO unidades VALUES ('KGM', 'Kilogramo');
INSERT OR REPLACE INTO unidades VALUES ('H87', 'Pieza');
GO
