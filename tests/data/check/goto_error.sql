BEGIN TRAN
UPDATE cuentas SET saldo = 0 WHERE id = 1
IF @@ERROR <> 0 GOTO Fallo
INSERT INTO movimientos (cuenta, importe) VALUES (1, 0)
IF @@ERROR <> 0 GOTO Fallo
COMMIT TRAN
  GOTO Fin
Fallo:
ROLLBACK TRAN
Fin:
GO
BEGIN TRAN
DELETE FROM sesiones
IF @@ERROR <> 0 GOTO Error
COMMIT TRAN
Error:
ROLLBACK TRAN
GO
