EXEC sp_rename 'dbo.Cliente.Mail', 'Correo', 'COLUMN';
GO
UPDATE dbo.Cliente SET Correo = LOWER(Correo);
GO
EXEC sys.sp_rename N'dbo.Viejo', N'Nuevo';
EXEC sp_rename 'dbo.Cliente.Tel', 'Telefono', 'INDEX';
SELECT Nuevo, Telefono FROM dbo.Cliente;
GO
