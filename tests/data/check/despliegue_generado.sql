SET ANSI_NULLS, ANSI_PADDING, ANSI_WARNINGS, ARITHABORT, CONCAT_NULL_YIELDS_NULL, QUOTED_IDENTIFIER ON;
SET NUMERIC_ROUNDABORT OFF;
GO
IF (SELECT OBJECT_ID('tempdb..#tmpErrors')) IS NOT NULL DROP TABLE #tmpErrors
GO
CREATE TABLE #tmpErrors (Error int)
GO
SET XACT_ABORT ON
GO
BEGIN TRANSACTION
GO
PRINT N'Modificando [dbo].[Clientes]...';
GO
ALTER TABLE [dbo].[Clientes] ADD [Correo] NVARCHAR (100) NULL;
GO
IF @@ERROR <> 0
   AND @@TRANCOUNT > 0
    BEGIN
        ROLLBACK;
    END
IF @@TRANCOUNT = 0
    BEGIN
        INSERT  INTO #tmpErrors (Error)
        VALUES                 (1);
        BEGIN TRANSACTION;
    END
GO
CREATE NONCLUSTERED INDEX [IX_Clientes_Correo] ON [dbo].[Clientes]([Correo] ASC);
GO
ALTER TABLE [dbo].[Clientes] ADD CONSTRAINT [DF_Clientes_Correo] DEFAULT N'' FOR [Correo];
GO
IF @@ERROR <> 0 SET NOEXEC ON
GO
IF XACT_STATE() <> 1
BEGIN
    ROLLBACK TRANSACTION;
    SET NOEXEC ON;
END
GO
IF EXISTS (SELECT * FROM #tmpErrors) ROLLBACK TRANSACTION
GO
IF @@TRANCOUNT>0 BEGIN
PRINT N'La parte transaccional de la actualización terminó bien.'
COMMIT TRANSACTION
END
ELSE PRINT N'La parte transaccional de la actualización falló.'
GO
DROP TABLE #tmpErrors
GO
