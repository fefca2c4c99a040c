CREATE TABLE IF NOT EXISTS aranceles (
    fraccion TEXT PRIMARY KEY,
    descripcion TEXT NOT NULL,
    tasa REAL NOT NULL
);
GO
CREATE TABLE IF NOT EXISTS aranceles_bitacora (
    fraccion TEXT,
    tasa_anterior REAL,
    tasa_nueva REAL,
    cambiado TEXT DEFAULT CURRENT_TIMESTAMP
);
GO
/* Equivale a un CREATE PROCEDURE de SQL Server: el registro de cambios de tasa.
   Empieza su propio grupo de envío. */
CREATE TRIGGER IF NOT EXISTS aranceles_cambio_tasa
AFTER UPDATE OF tasa ON aranceles
BEGIN
    INSERT INTO aranceles_bitacora (fraccion, tasa_anterior, tasa_nueva)
    VALUES (OLD.fraccion, OLD.tasa, NEW.tasa);
END;
GO
INSERT OR REPLACE INTO aranceles VALUES ('0101.21.01', 'Caballos reproductores de raza pura', 0.0);
INSERT OR REPLACE INTO aranceles VALUES ('8471.30.01', 'Máquinas portátiles de procesamiento de datos', 5.0);
GO
UPDATE aranceles SET tasa = 0.0 WHERE fraccion = '8471.30.01';
GO
