GO
SELECT 1
  GO
	go
SELECT 2 GO
SELECT 3 -- go
GO
