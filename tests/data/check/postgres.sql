BEGIN;
UPDATE precios SET importe = importe * 1.1;
COMMIT;
GO
/* sin cerrar
GO
