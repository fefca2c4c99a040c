EXEC sp_fulltext_database 'enable';
EXEC @r = [sys].[sp_fulltext_catalog] 'cat', 'create';
EXEC master..sp_dboption 'Ventas', 'trunc. log on chkpt.', 'true';
EXEC dbo.sp_helptext 'x';
IF @@ERROR <> 0 EXEC sp_fulltext_table 't', 'drop';
EXEC ('EXEC sp_fulltext_column ''t'', ''c'', ''add''');
GO
