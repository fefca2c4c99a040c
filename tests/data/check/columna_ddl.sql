ALTER TABLE dbo.Pedidos ADD Entrega DATE NULL, Estado INT NULL
GO
CREATE INDEX IX_Pedidos_Entrega ON dbo.Pedidos (Entrega)
GO
ALTER TABLE dbo.Pedidos ADD CONSTRAINT CK_Pedidos_Estado CHECK (Estado >= 0)
GO
UPDATE dbo.Pedidos SET Estado = 0 WHERE Estado IS NULL
GO
