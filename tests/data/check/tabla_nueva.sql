CREATE TABLE dbo.Nueva (Id int NOT NULL);
GO
ALTER TABLE dbo.Nueva ADD Codigo varchar(10) NULL;
GO
UPDATE dbo.Nueva SET Codigo = 'x';
GO
SELECT 1 AS a INTO #t;
GO
ALTER TABLE #t ADD b int;
GO
SELECT b FROM #t;
GO
ALTER TABLE dbo.Vieja ADD Estado char(1) NULL;
GO
UPDATE dbo.Vieja SET Estado = 'A';
GO
ALTER TABLE dbo.Otra ADD Marca bit NULL;
UPDATE dbo.Otra SET Marca = 0;
GO
