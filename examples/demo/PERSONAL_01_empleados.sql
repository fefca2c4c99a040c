-- La entidad PERSONAL tiene su propia base de datos.
CREATE TABLE IF NOT EXISTS empleados (
    numero INTEGER PRIMARY KEY,
    nombre TEXT NOT NULL,
    puesto TEXT
);
GO
INSERT OR REPLACE INTO empleados VALUES (1, 'Ana Núñez', 'Contadora');
INSERT OR REPLACE INTO empleados VALUES (2, 'Luis Peña', 'Almacenista');
GO
