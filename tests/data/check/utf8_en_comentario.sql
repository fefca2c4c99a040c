-- Revisión de año
SELECT 1;
GO
