:setvar Base Ventas
USE $(Base);
GO
SET DATEFORMAT dmy;
SET IMPLICIT_TRANSACTIONS OFF;
SET NOEXEC ON;
INSERT INTO t VALUES ('$(no es variable)');  -- $(tampoco)
GO
!!dir
GO
SELECT * FROM [$(Esquema)].[t ($x)];
GO
