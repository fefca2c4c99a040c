-- Comentario: COMMIT aquí no cuenta
INSERT INTO t VALUES ('ROLLBACK en un texto'); /* BEGIN TRAN tampoco */
GO
CREATE SCHEMA ventas;
GO
INSERT INTO t VALUES (1);
GOTO fin
  GO
BEGIN TRAN;
COMMIT;
GO
SELECT 1;
