SELECT 1
GO -- fin
SELECT 2
GOTO x
SELECT 3
government
SELECT 4
GO
