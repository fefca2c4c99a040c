DECLARE @hoy date = GETDATE();
GO
DECLARE @hoy date = GETDATE();
UPDATE pedidos SET fecha = @hoy WHERE fecha IS NULL;
GO
IF COL_LENGTH('clientes', 'activo') IS NULL
  ALTER TABLE clientes ADD activo bit NOT NULL DEFAULT 1;
GO
UPDATE clientes SET activo = 0 WHERE baja IS NOT NULL;
GO
PRINT @hoy;
GO
IF OBJECT_ID('dbo.viejos') IS NULL RETURN;
GO
DROP TABLE dbo.viejos;
GO
CREATE DATABASE Archivo;
GO
USE Archivo;
GO
SELECT 1;
CREATE SCHEMA archivo;
GO
SELECT @hoy;
GO
